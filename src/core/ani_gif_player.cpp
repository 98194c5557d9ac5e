#include "ani_gif_player.h"

#include "platform/twips.h"

#include <QMovie>
#include <QPainter>

AniGifPlayer::AniGifPlayer(QWidget* parent) : QWidget(parent) {
    m_movie = new QMovie(this);
    m_movie->setFormat("gif"); // no probing of every image plugin for each file
    connect(m_movie, &QMovie::frameChanged, this, [this] { update(); });
    // isValid() only looks at the header; a damaged body shows up here, frame by frame.
    connect(m_movie, &QMovie::error, this, [this] { markEmpty(); });
    QWidget::setVisible(false);
    place();
}

AniGifPlayer::~AniGifPlayer() = default;

void AniGifPlayer::SetFileName(const QString& path) {
    // Every waiting tick reloads all nine players. A hidden player already holding this file
    // is stopped, and starting it again begins at the first frame: no need to reopen it.
    if (!m_visible && !m_empty && path == m_fileName && m_movie->state() == QMovie::NotRunning)
        return;
    // A QMovie whose file changes while it runs freezes: stop, load, then start again.
    stop();
    m_fileName = path;
    m_movie->setFileName(path);
    m_empty = path.isEmpty() || !m_movie->isValid();
    if (m_visible)
        start();
    update();
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

bool AniGifPlayer::IsPlaying() const { return m_movie->state() == QMovie::Running; }

int AniGifPlayer::CurrentFrame() const { return m_empty ? -1 : m_movie->currentFrameNumber(); }

void AniGifPlayer::start() {
    if (m_empty || m_movie->state() != QMovie::NotRunning)
        return;
    m_movie->start(); // from the first frame
}

void AniGifPlayer::stop() {
    if (m_movie->state() != QMovie::NotRunning)
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
    if (m_empty)
        return;
    const QPixmap frame = m_movie->currentPixmap();
    if (frame.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), frame);
}
