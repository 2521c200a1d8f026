#pragma once
// A label that opens a target (an address or a file) with the desktop's preferred program
// when clicked, or on Enter or Space while it has the focus. It is drawn underlined in the
// web browser's link colours and turns to the visited colour once an open succeeds. In
// picture mode it draws an SVG picture instead of its text.
#include <QColor>
#include <QLabel>

#include <functional>
#include <string>

class CSvgPicture;

class CHyperLink : public QLabel {
    Q_OBJECT
public:
    // Where the link colours live in the current user's registry store ("R,G,B" values).
    static constexpr const char* kColorsKey = "Software\\Microsoft\\Internet Explorer\\Settings";
    static constexpr const char* kLinkColorValue = "Anchor Color";
    static constexpr const char* kVisitedColorValue = "Anchor Color Visited";
    static const QColor kDefaultLinkColor;
    static const QColor kDefaultVisitedColor;

    // Reads the link colours now; the font is the parent's, underlined.
    explicit CHyperLink(const QString& text, QWidget* parent = nullptr);

    // Picture mode: draws the SVG at `path` (a resource or a file) in an area of `size`;
    // a picture that cannot be loaded leaves the area empty.
    void SetPicture(const QString& path, const QSize& size);
    CSvgPicture* Picture() const { return m_picture; }

    void SetTarget(const std::string& target) { m_target = target; }
    const std::string& Target() const { return m_target; }

    // How the target is opened; throws on failure. The default runs xdg-open.
    using Opener = std::function<void(const std::string& target)>;
    void SetOpener(Opener opener) { m_opener = std::move(opener); }

    // Opens the target; true, and the visited colour, on success. A failure is not reported.
    bool Open();

    bool IsVisited() const { return m_visited; }
    QColor LinkColor() const { return m_linkColor; }
    QColor VisitedColor() const { return m_visitedColor; }
    // The colour the link is drawn in now.
    QColor CurrentColor() const;

    // "R,G,B" in decimal, each 0 to 255; `fallback` for anything else.
    static QColor ParseColor(const std::string& text, const QColor& fallback);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ApplyColor();

    std::string m_target;
    Opener m_opener;
    QColor m_linkColor;
    QColor m_visitedColor;
    bool m_visited = false;
    CSvgPicture* m_picture = nullptr;
};
