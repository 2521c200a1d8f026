#include "config/ArchiveReader.h"

#include "helpers/FileText.h"

#include <charconv>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

} // namespace

bool ArchiveReader::Load(const std::string& path)
{
    std::string text;
    if (HELPERS::ReadFileText(path, text) != HELPERS::FileTextResult::Read)
        return false;
    LoadText(text);
    return true;
}

void ArchiveReader::LoadText(const std::string& text)
{
    m_unfinished.clear();
    // No end-of-line or attribute whitespace conversion: string values keep their bytes.
    // A value made only of blanks is kept too.
    const unsigned options = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_ws_pcdata_single;
    const pugi::xml_parse_result result = m_doc.load_buffer(text.data(), text.size(), options, pugi::encoding_utf8);
    if (result)
        return;
    // The parser keeps the tree it built up to the fault. The elements still open there
    // are the last child at every level; whatever they hold may be cut short.
    for (pugi::xml_node node = m_doc.last_child(); node; node = node.last_child()) {
        if (node.type() == pugi::node_element)
            m_unfinished.insert(node.internal_object());
    }
}

bool ArchiveReader::IsComplete(pugi::xml_node node) const { return m_unfinished.count(node.internal_object()) == 0; }

ArchiveElement ArchiveReader::Root(const char* name) const
{
    const pugi::xml_node archive = m_doc.first_element_by_path("boost_serialization");
    if (!archive || std::string(archive.attribute("signature").value()) != "serialization::archive")
        throw ArchiveError("not a serialization archive");
    ArchiveElement top(*this, archive);
    return top.Next(name);
}

ArchiveElement ArchiveElement::Next(const char* name)
{
    pugi::xml_node child = m_last ? m_last.next_sibling() : m_node.first_child();
    while (child && child.type() != pugi::node_element)
        child = child.next_sibling();
    if (!child)
        throw ArchiveError(std::string("missing element ") + name);
    if (std::string(child.name()) != name)
        throw ArchiveError(std::string("expected element ") + name + ", found " + child.name());
    m_last = child;
    return ArchiveElement(*m_reader, child);
}

std::string ArchiveElement::Text() const
{
    if (!m_reader->IsComplete(m_node))
        throw ArchiveError(std::string("element cut short: ") + m_node.name());
    std::string text;
    for (pugi::xml_node part = m_node.first_child(); part; part = part.next_sibling()) {
        switch (part.type()) {
        case pugi::node_pcdata:
        case pugi::node_cdata: text += part.value(); break;
        case pugi::node_element: throw ArchiveError(std::string("value expected in ") + m_node.name());
        default: break;
        }
    }
    return text;
}

std::int64_t ArchiveElement::Number(const std::string& text, std::int64_t low, std::int64_t high) const
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    std::int64_t value = 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc() || ptr != last || value < low || value > high)
        throw ArchiveError(std::string("bad number in ") + m_node.name());
    return value;
}

std::string ArchiveElement::NextString(const char* name) { return Next(name).Text(); }

std::int32_t ArchiveElement::NextInt32(const char* name)
{
    ArchiveElement e = Next(name);
    return static_cast<std::int32_t>(e.Number(e.Text(), INT32_MIN, INT32_MAX));
}

bool ArchiveElement::NextBool(const char* name)
{
    ArchiveElement e = Next(name);
    return e.Number(e.Text(), 0, 1) != 0;
}

std::size_t ArchiveElement::NextCount()
{
    ArchiveElement e = Next("count");
    return static_cast<std::size_t>(e.Number(e.Text(), 0, UINT32_MAX));
}

bool ArchiveElement::HasAttribute(const char* name) const { return !m_node.attribute(name).empty(); }

std::string ArchiveElement::Attribute(const char* name) const { return m_node.attribute(name).value(); }

unsigned ArchiveElement::Version() const
{
    if (!HasAttribute("version"))
        throw ArchiveError(std::string("no version on ") + m_node.name());
    return static_cast<unsigned>(Number(Attribute("version"), 0, UINT32_MAX));
}
