#include "config/ArchiveWriter.h"

#include <cassert>

ArchiveWriter::ArchiveWriter()
{
    m_text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
             "<!DOCTYPE boost_serialization>\n"
             "<boost_serialization signature=\"serialization::archive\" version=\"3\">\n";
}

ArchiveWriter::ClassInfo& ArchiveWriter::Register(const std::string& cls)
{
    auto it = m_classes.find(cls);
    if (it == m_classes.end()) {
        ClassInfo info;
        info.id = static_cast<int>(m_classes.size());
        it = m_classes.emplace(cls, info).first;
    }
    return it->second;
}

int ArchiveWriter::RegisterClass(const std::string& cls) { return Register(cls).id; }

ArchiveWriter::Attributes ArchiveWriter::ClassAttributes(const std::string& cls, int trackingLevel, unsigned version)
{
    ClassInfo& info = Register(cls);
    if (info.written)
        return {};
    info.written = true;
    return {{"class_id", std::to_string(info.id)},
            {"tracking_level", std::to_string(trackingLevel)},
            {"version", std::to_string(version)}};
}

ArchiveWriter::Attributes ArchiveWriter::NewObjectAttributes(const std::string& cls, int trackingLevel,
                                                             unsigned version, int& objectId)
{
    ClassInfo& info = Register(cls);
    Attributes attributes;
    if (info.written)
        attributes.emplace_back("class_id_reference", std::to_string(info.id));
    else
        attributes = ClassAttributes(cls, trackingLevel, version);
    objectId = m_nextObjectId++;
    attributes.emplace_back("object_id", "_" + std::to_string(objectId));
    return attributes;
}

ArchiveWriter::Attributes ArchiveWriter::ObjectReferenceAttributes(const std::string& cls, int objectId) const
{
    const auto it = m_classes.find(cls);
    assert(it != m_classes.end());
    return {{"class_id_reference", std::to_string(it == m_classes.end() ? -1 : it->second.id)},
            {"object_id_reference", "_" + std::to_string(objectId)}};
}

void ArchiveWriter::Indent() { m_text.append(m_open.size(), '\t'); }

void ArchiveWriter::StartTag(const std::string& name, const Attributes& attributes)
{
    m_text += '<';
    m_text += name;
    for (const auto& [key, value] : attributes) {
        m_text += ' ';
        m_text += key;
        m_text += "=\"";
        m_text += Escape(value);
        m_text += '"';
    }
    m_text += '>';
}

void ArchiveWriter::EndTag(const std::string& name)
{
    m_text += "</";
    m_text += name;
    m_text += ">";
}

void ArchiveWriter::StartElement(const std::string& name, const Attributes& attributes)
{
    Indent();
    StartTag(name, attributes);
    m_text += '\n';
    m_open.push_back(name);
}

void ArchiveWriter::EndElement()
{
    assert(!m_open.empty());
    const std::string name = m_open.back();
    m_open.pop_back();
    Indent();
    EndTag(name);
    m_text += '\n';
}

void ArchiveWriter::StringElement(const std::string& name, const std::string& value, const Attributes& attributes)
{
    Indent();
    StartTag(name, attributes);
    m_text += Escape(value);
    EndTag(name);
    m_text += '\n';
}

void ArchiveWriter::NumberElement(const std::string& name, std::int64_t value, const Attributes& attributes)
{
    Indent();
    StartTag(name, attributes);
    m_text += std::to_string(value);
    EndTag(name);
    m_text += '\n';
}

void ArchiveWriter::EmptyElement(const std::string& name, const Attributes& attributes)
{
    Indent();
    StartTag(name, attributes);
    EndTag(name);
    m_text += '\n';
}

const std::string& ArchiveWriter::Finish()
{
    assert(m_open.empty());
    if (!m_finished) {
        m_text += "</boost_serialization>\n";
        m_finished = true;
    }
    return m_text;
}

std::string ArchiveWriter::Escape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}
