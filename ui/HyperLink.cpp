#include "ui/HyperLink.h"

#include "helpers/Registry.h"
#include "helpers/ShellCommand.h"
#include "helpers/WException.h"
#include "ui/SvgPicture.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>

#include <algorithm>
#include <cctype>
#include <vector>

const QColor CHyperLink::kDefaultLinkColor(0, 0, 255);
const QColor CHyperLink::kDefaultVisitedColor(128, 0, 128);

namespace {

QColor RegistryColor(const char* valueName, const QColor& fallback)
{
    try {
        HELPERS::registry_string value(std::string(CHyperLink::kColorsKey) + "\\" + valueName,
                                       HELPERS::HKEY_CURRENT_USER);
        return CHyperLink::ParseColor(value.get_value(), fallback);
    } catch (...) {
        // An unreadable store keeps the browser's usual colours.
        return fallback;
    }
}

} // namespace

CHyperLink::CHyperLink(const QString& text, QWidget* parent)
    : QLabel(text, parent), m_opener([](const std::string& target) {
          if (HELPERS::ExecuteShellCommand(nullptr, "open", target, "", "", 1) <= 32)
              throw HELPERS::WException("Could not open " + target);
      }),
      m_linkColor(RegistryColor(kLinkColorValue, kDefaultLinkColor)),
      m_visitedColor(RegistryColor(kVisitedColorValue, kDefaultVisitedColor))
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignCenter);
    // Only the text itself is the link.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    ApplyColor();
}

QColor CHyperLink::ParseColor(const std::string& text, const QColor& fallback)
{
    std::vector<std::string> parts;
    boost::algorithm::split(parts, text, [](char c) { return c == ','; });
    if (parts.size() != 3)
        return fallback;
    int rgb[3] = {};
    for (std::size_t i = 0; i < 3; ++i) {
        std::string part = boost::algorithm::trim_copy(parts[i]);
        if (part.empty() || part.size() > 3 ||
            !std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
            return fallback;
        rgb[i] = std::stoi(part);
        if (rgb[i] > 255)
            return fallback;
    }
    return QColor(rgb[0], rgb[1], rgb[2]);
}

void CHyperLink::SetPicture(const QString& path, const QSize& size)
{
    delete m_picture;
    m_picture = new CSvgPicture(path, size, this);
    // The link itself takes the clicks.
    m_picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Text inside the picture must not take on the link's underline.
    QFont plain = font();
    plain.setUnderline(false);
    m_picture->setFont(plain);
    m_picture->move(0, 0);
    setText(QString());
    setFixedSize(size);
}

QColor CHyperLink::CurrentColor() const { return m_visited ? m_visitedColor : m_linkColor; }

bool CHyperLink::Open()
{
    try {
        m_opener(m_target);
    } catch (...) {
        return false;
    }
    m_visited = true;
    ApplyColor();
    return true;
}

void CHyperLink::ApplyColor()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, CurrentColor());
    setPalette(colours);
    update();
}

QSize CHyperLink::sizeHint() const
{
    if (m_picture)
        return m_picture->size();
    // Room for the focus frame around the text.
    return QLabel::sizeHint() + QSize(4, 2);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        event->accept();
        Open();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void CHyperLink::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept();
        Open();
        return;
    default: QLabel::keyPressEvent(event);
    }
}

void CHyperLink::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}
