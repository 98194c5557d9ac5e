// Contact sheet: every written file read back from disk, so what is seen is
// what the program will show (quantised GIF frames, JPEG artefacts).
#include "picturegen.h"

#include <QDir>
#include <QImageReader>
#include <QPainter>

namespace pg {

namespace {

constexpr int kSheetWidth = 1760;

std::vector<QImage> readFrames(const QString& path) {
    std::vector<QImage> frames;
    QImageReader r(path);
    QImage img;
    while (r.read(&img))
        frames.push_back(img.convertToFormat(QImage::Format_RGB32));
    return frames;
}

QImage enlarge(const QImage& img, int k) {
    return img.scaled(img.size() * k, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

class Sheet {
public:
    explicit Sheet(QPainter& p) : p_(p) {}
    void label(const QString& text) {
        newRow();
        p_.setPen(Qt::black);
        p_.drawText(QPointF(10, y_ + 14), text);
        y_ += 20;
    }
    void put(QImage img, const QString& caption = {}) {
        img.setDevicePixelRatio(1); // @2x files would otherwise be drawn at half size
        const int capH = caption.isEmpty() ? 0 : 14;
        if (x_ + img.width() > kSheetWidth - 10)
            newRow();
        p_.drawImage(x_, y_, img);
        if (capH) {
            p_.setPen(QColor(60, 60, 60));
            p_.drawText(QPointF(x_, y_ + img.height() + 12), caption);
        }
        x_ += img.width() + 6;
        rowH_ = std::max(rowH_, img.height() + capH);
    }
    void newRow() {
        if (rowH_)
            y_ += rowH_ + 8;
        x_ = 10;
        rowH_ = 0;
    }
    int bottom() const { return y_ + rowH_ + 10; }

private:
    QPainter& p_;
    int x_ = 10, y_ = 10, rowH_ = 0;
};

} // namespace

bool writeContactSheet(const QString& assetsDir, const QString& outFile, QString* error) {
    const QDir assets(assetsDir);
    // First pass measures the height, second draws.
    int height = 4000;
    for (int pass = 0; pass < 2; ++pass) {
        QImage sheet(kSheetWidth, height, QImage::Format_RGB32);
        sheet.fill(QColor(0xE8, 0xE8, 0xE8));
        QPainter p(&sheet);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(12);
        p.setFont(font);
        Sheet s(p);
        for (const Animation& a : animations()) {
            const auto small = readFrames(assets.filePath("animations/" + a.base + ".gif"));
            const auto big = readFrames(assets.filePath("animations/" + a.base + "Big.gif"));
            const auto bw = readFrames(assets.filePath("animations/" + a.base + "BW.gif"));
            const auto bigBw = readFrames(assets.filePath("animations/" + a.base + "BigBW.gif"));
            if (small.empty() || big.empty() || bw.empty() || bigBw.empty()) {
                *error = "cannot read the GIFs of " + a.base;
                return false;
            }
            s.label(QStringLiteral(
                        "%1  (%2 frames)  - 33px x3, then real size: colour, grey, 66px, 66px grey")
                        .arg(a.base)
                        .arg(small.size()));
            for (size_t i = 0; i < small.size(); ++i)
                s.put(enlarge(small[i], 3), QString::number(i));
            s.newRow();
            for (const auto* set : {&small, &bw, &big, &bigBw}) {
                for (const QImage& f : *set)
                    s.put(f);
                s.newRow();
            }
        }
        s.label(QStringLiteral("exercise pictures: 25px, x4, 50px @2x, x2"));
        for (int i = 0; i < 9; ++i) {
            const QImage one(assets.filePath(QStringLiteral("pictures/exercise_%1.png").arg(i)));
            const QImage two(assets.filePath(QStringLiteral("pictures/exercise_%1@2x.png").arg(i)));
            s.put(one, QString::number(i));
            s.put(enlarge(one, 4));
            s.put(two);
            s.put(enlarge(two, 2));
        }
        s.label(QStringLiteral("toolbar icons: real size and x4"));
        for (const ToolbarIcon& t : toolbarIcons()) {
            const QImage img(assets.filePath("pictures/" + t.name + ".png"));
            s.put(img, t.name);
            s.put(enlarge(img, 4));
        }
        s.label(QStringLiteral("logo: file, as shown at 87x37 and 174x74; about; app icons"));
        const QImage logo(assets.filePath(QStringLiteral("pictures/logo.jpg")));
        s.put(logo);
        const QImage logoSmall =
            logo.scaled(87, 37, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        s.put(logoSmall);
        s.put(enlarge(logoSmall, 4), QStringLiteral("87x37 x4"));
        s.put(logo.scaled(174, 74, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        s.newRow();
        s.put(QImage(assets.filePath(QStringLiteral("pictures/about.png"))));
        s.put(QImage(assets.filePath(QStringLiteral("pictures/about@2x.png"))));
        for (int size : appIconSizes())
            s.put(QImage(assets.filePath(QStringLiteral("icons/lumivista-%1.png").arg(size))));
        p.end();
        if (pass == 0) {
            height = s.bottom();
            continue;
        }
        if (!sheet.save(outFile)) {
            *error = "cannot write " + outFile;
            return false;
        }
    }
    return true;
}

} // namespace pg
