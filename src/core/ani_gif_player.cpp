#include "ani_gif_player.h"

#include "platform/twips.h"

#include <QFileInfo>
#include <QMovie>
#include <QPainter>

AniGifPlayer::AniGifPlayer(QWidget* parent) : QWidget(parent) {
    QWidget::setVisible(false);
    place();
}

AniGifPlayer::~AniGifPlayer() = default;

QString AniGifPlayer::ShownFile(const QString& path, qreal devicePixelRatio) {
    // Qt's naming for high-dpi pictures: Blink@2x.gif beside Blink.gif.
    if (devicePixelRatio > 1 && path.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
        const QString twin = path.chopped(4) + QStringLiteral("@2x") + path.right(4);
        if (QFileInfo::exists(twin))
            return twin;
    }
    return path;
}

void AniGifPlayer::SetFileName(const QString& path) {
    const QString shown = ShownFile(path, devicePixelRatioF());
    // Every waiting tick reloads all nine players. A hidden player already holding this file
    // is stopped, and starting it again begins at the first frame: no need to reopen it.
    if (!m_visible && !(m_opened && m_empty) && path == m_fileName && shown == m_shownFile &&
        !IsPlaying())
        return;
    // A QMovie whose file changes while it runs freezes: stop, load, then start again.
    stop();
    m_fileName = path;
    m_shownFile = shown;
    m_opened = false;
    if (m_visible)
        start();
    update();
}

// Most players are never shown in a session: the file is opened when it is first needed,
// not at start-up, where opening nine files delayed the window.
void AniGifPlayer::openMovie() {
    if (m_opened)
        return;
    m_opened = true;
    if (!m_movie) {
        m_movie = new QMovie(this);
        m_movie->setFormat("gif"); // no probing of every image plugin for each file
        connect(m_movie, &QMovie::frameChanged, this, [this] { update(); });
        // isValid() only looks at the header; a damaged body shows up here, frame by frame.
        connect(m_movie, &QMovie::error, this, [this] { markEmpty(); });
    }
    m_movie->setFileName(m_shownFile);
    m_empty = m_fileName.isEmpty() || !m_movie->isValid();
}

bool AniGifPlayer::IsEmpty() {
    openMovie();
    return m_empty;
}

void AniGifPlayer::SetVisible(bool visible) {
    if (visible == m_visible)
        return;
    m_visible = visible;
    QWidget::setVisible(visible);
    if (visible)
        start();
    else
        stop();
}

void AniGifPlayer::SetLeft(double twips) {
    m_left = twips;
    place();
}

void AniGifPlayer::SetTop(double twips) {
    m_top = twips;
    place();
}

void AniGifPlayer::SetWidth(double twips) {
    m_width = twips;
    place();
}

bool AniGifPlayer::IsPlaying() const { return m_movie && m_movie->state() == QMovie::Running; }

int AniGifPlayer::CurrentFrame() { return IsEmpty() ? -1 : m_movie->currentFrameNumber(); }

void AniGifPlayer::start() {
    openMovie();
    if (m_empty || m_movie->state() != QMovie::NotRunning)
        return;
    m_movie->start(); // from the first frame
}

void AniGifPlayer::stop() {
    if (m_movie && m_movie->state() != QMovie::NotRunning)
        m_movie->stop();
}

void AniGifPlayer::markEmpty() {
    m_empty = true;
    stop();
    update();
}

void AniGifPlayer::place() {
    setGeometry(Twips::ToPixelsX(m_left), Twips::ToPixelsY(m_top), Twips::ToPixelsX(m_width),
                Twips::ToPixelsY(m_height));
}

void AniGifPlayer::paintEvent(QPaintEvent*) {
    if (IsEmpty())
        return;
    const QPixmap frame = m_movie->currentPixmap();
    if (frame.isNull())
        return;
    QPainter painter(this);
    // The @2x frames on a 2x screen map one to one onto device pixels; other sizes are
    // scaled smoothly.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), frame);
}
