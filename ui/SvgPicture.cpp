#include "ui/SvgPicture.h"

#include <QPainter>
#include <QSvgRenderer>

CSvgPicture::CSvgPicture(const QString& path, const QSize& size, QWidget* parent)
    : QWidget(parent), m_renderer(new QSvgRenderer(path, this)), m_size(size)
{
    setFixedSize(size);
    m_renderer->setAspectRatioMode(Qt::KeepAspectRatio);
}

CSvgPicture::~CSvgPicture() = default;

bool CSvgPicture::IsLoaded() const { return m_renderer->isValid(); }

void CSvgPicture::paintEvent(QPaintEvent*)
{
    if (!m_renderer->isValid())
        return;
    QPainter painter(this);
    m_renderer->render(&painter, QRectF(rect()));
}
