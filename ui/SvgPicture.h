#pragma once
// A picture of a fixed size drawn from an SVG at paint time, so it stays sharp at any
// device pixel ratio. A picture that cannot be loaded leaves its area empty.
#include <QWidget>

class QSvgRenderer;

class CSvgPicture : public QWidget {
    Q_OBJECT
public:
    CSvgPicture(const QString& path, const QSize& size, QWidget* parent = nullptr);
    ~CSvgPicture() override;

    bool IsLoaded() const;
    QSize sizeHint() const override { return m_size; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* m_renderer;
    QSize m_size;
};
