// Animated GIF output through giflib: fixed palette, infinite loop, and
// every frame after the first stored as the rectangle that changed.
#include "picturegen.h"

#include <gif_lib.h>

#include <QFile>
#include <QRect>
#include <algorithm>
#include <unordered_map>

namespace pg {

namespace {

std::vector<QRgb> colourPalette() {
    std::vector<QRgb> pal = ink::all();
    // A 6x6x6 cube catches the antialiased edges between the inks.
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                pal.push_back(qRgb(r * 51, g * 51, b * 51));
    for (int v = 17; pal.size() < 256 && v < 255; v += 17)
        if (v % 51)
            pal.push_back(qRgb(v, v, v));
    pal.resize(256, qRgb(0, 0, 0));
    return pal;
}

class Quantiser {
public:
    explicit Quantiser(std::vector<QRgb> pal) : pal_(std::move(pal)) {}
    const std::vector<QRgb>& palette() const { return pal_; }

    GifByteType index(QRgb c) {
        auto it = cache_.find(c);
        if (it != cache_.end())
            return it->second;
        // Weighted distance roughly follows the eye's sensitivity; ties keep
        // the lowest index so the result never depends on hash order.
        int best = 0;
        long bestD = -1;
        for (int i = 0; i < int(pal_.size()); ++i) {
            const long dr = qRed(c) - qRed(pal_[i]);
            const long dg = qGreen(c) - qGreen(pal_[i]);
            const long db = qBlue(c) - qBlue(pal_[i]);
            const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (bestD < 0 || d < bestD) {
                bestD = d;
                best = i;
            }
        }
        cache_.emplace(c, GifByteType(best));
        return GifByteType(best);
    }

private:
    std::vector<QRgb> pal_;
    std::unordered_map<QRgb, GifByteType> cache_;
};

std::vector<GifByteType> indexFrame(const QImage& img, Quantiser& q, bool grey) {
    const QImage src = img.convertToFormat(QImage::Format_RGB32);
    std::vector<GifByteType> out(size_t(src.width()) * size_t(src.height()));
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        for (int x = 0; x < src.width(); ++x)
            out[size_t(y) * src.width() + x] =
                grey ? GifByteType(qGray(line[x])) : q.index(line[x]);
    }
    return out;
}

// giflib writes through this callback into memory; the file itself is
// written by Qt so it gets ordinary permissions.
int appendBytes(GifFileType* gif, const GifByteType* data, int len) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), len);
    return len;
}

} // namespace

QImage toGrey(const QImage& img) {
    QImage out = img.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int v = qGray(line[x]);
            line[x] = qRgb(v, v, v);
        }
    }
    return out;
}

bool writeGif(const QString& path, const std::vector<QImage>& frames,
              const std::vector<int>& delaysMs, bool grey, QString* error) {
    if (frames.empty() || frames.size() != delaysMs.size()) {
        *error = QStringLiteral("no frames for %1").arg(path);
        return false;
    }
    const int w = frames.front().width();
    const int h = frames.front().height();

    std::vector<QRgb> pal;
    if (grey)
        for (int i = 0; i < 256; ++i)
            pal.push_back(qRgb(i, i, i));
    else
        pal = colourPalette();
    Quantiser quant(pal);

    std::vector<std::vector<GifByteType>> indexed;
    for (const QImage& f : frames)
        indexed.push_back(indexFrame(f, quant, grey));

    ColorMapObject* cmap = GifMakeMapObject(256, nullptr);
    for (int i = 0; i < 256; ++i)
        cmap->Colors[i] = GifColorType{GifByteType(qRed(pal[i])), GifByteType(qGreen(pal[i])),
                                       GifByteType(qBlue(pal[i]))};

    int err = 0;
    QByteArray bytes;
    GifFileType* gif = EGifOpen(&bytes, appendBytes, &err);
    if (!gif) {
        GifFreeMapObject(cmap);
        *error = QStringLiteral("cannot create %1: %2").arg(path, GifErrorString(err));
        return false;
    }
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, w, h, 8, indexed[0][0], cmap) == GIF_OK;
    GifFreeMapObject(cmap);

    // NETSCAPE2.0 with a count of 0: loop forever.
    static const char appId[] = "NETSCAPE2.0";
    const GifByteType loop[3] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, appId) == GIF_OK &&
         EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;

    for (size_t f = 0; ok && f < indexed.size(); ++f) {
        const std::vector<GifByteType>& cur = indexed[f];
        QRect box(0, 0, w, h);
        if (f > 0) {
            // Only the part that changed since the previous frame is stored;
            // the previous frame stays underneath (disposal "do not dispose").
            const std::vector<GifByteType>& prev = indexed[f - 1];
            int x0 = w, y0 = h, x1 = -1, y1 = -1;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (cur[size_t(y) * w + x] != prev[size_t(y) * w + x]) {
                        x0 = std::min(x0, x);
                        y0 = std::min(y0, y);
                        x1 = std::max(x1, x);
                        y1 = std::max(y1, y);
                    }
            box = x1 < 0 ? QRect(0, 0, 1, 1) : QRect(QPoint(x0, y0), QPoint(x1, y1));
        }
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_DO_NOT;
        gcb.UserInputFlag = false;
        gcb.DelayTime = std::clamp(delaysMs[f] / 10, 2, 6000);
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) == GIF_OK &&
             EGifPutImageDesc(gif, box.x(), box.y(), box.width(), box.height(), false, nullptr) ==
                 GIF_OK;
        std::vector<GifByteType> row(size_t(box.width()));
        for (int y = box.top(); ok && y <= box.bottom(); ++y) {
            std::copy_n(cur.begin() + ptrdiff_t(y) * w + box.x(), box.width(), row.begin());
            ok = EGifPutLine(gif, row.data(), box.width()) == GIF_OK;
        }
    }
    if (!ok)
        *error =
            QStringLiteral("giflib failed writing %1: %2").arg(path, GifErrorString(gif->Error));
    if (EGifCloseFile(gif, &err) != GIF_OK && ok) {
        *error = QStringLiteral("cannot close %1: %2").arg(path, GifErrorString(err));
        ok = false;
    }
    if (ok) {
        QFile out(path);
        ok = out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
             out.write(bytes) == bytes.size();
        if (!ok)
            *error = QStringLiteral("cannot write %1: %2").arg(path, out.errorString());
    }
    return ok;
}

} // namespace pg
