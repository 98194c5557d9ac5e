#pragma once
// An animated GIF player on QMovie: a file name, Visible, Left, Top and Width in twips.
// Giving it a file stops the animation, loads the file and starts it again from its first
// frame. A missing or damaged file leaves an empty player; nothing is thrown.
// The animation only runs while the player is visible, and the file is opened only when first
// needed, so hidden players cost nothing.

#include <QString>
#include <QWidget>

class QMovie;

class AniGifPlayer : public QWidget {
    Q_OBJECT
public:
    explicit AniGifPlayer(QWidget* parent = nullptr);
    ~AniGifPlayer() override;

    // The path as given; on a scaled screen the file shown is its @2x twin when there is one.
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& path);
    QString ShownFileName() const { return m_shownFile; }
    // The file to show for a path at a device pixel ratio.
    static QString ShownFile(const QString& path, qreal devicePixelRatio);

    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);

    double Left() const { return m_left; }
    void SetLeft(double twips);
    double Top() const { return m_top; }
    void SetTop(double twips);
    double Width() const { return m_width; }
    void SetWidth(double twips);
    double Height() const { return m_height; }

    // True when the current file could not be shown (missing, not a GIF, damaged).
    bool IsEmpty();
    // True while the animation is running.
    bool IsPlaying() const;
    // Frame number shown now (-1 when empty), for tests.
    int CurrentFrame();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openMovie();
    void start();
    void stop();
    void markEmpty();
    void place();

    QMovie* m_movie = nullptr;
    QString m_fileName;
    QString m_shownFile;
    bool m_visible = false;
    bool m_opened = false; // m_empty and m_movie's file are those of m_shownFile
    bool m_empty = true;
    double m_left = 0;
    double m_top = 0;
    double m_width = 495;
    double m_height = 495;
};
