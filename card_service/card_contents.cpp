// The contents dump and the list of supported card types.
#include <string>

#include "card_service/card_names.h"
#include "card_service/interface_page_device.h"
#include "card_service/kes_ssfdc_device.h"

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string VersionOf(const kestra::card::CardFile& file) {
    if (file.key.type != kestra::card::kCodeFileType) return "";
    return file.version.empty() ? "no version" : file.version;
}

}  // namespace

void SSFDCContentsInfo::Dump(FILE* out) const {
    const std::uint64_t cardBytes = std::uint64_t{m_blocks} * m_blockBytes;
    if (m_html) {
        std::fprintf(out, "<h2>Card contents</h2>\n<table border=\"1\">\n");
        std::fprintf(out,
                     "<tr><th>Type</th><th>Subtype</th><th>Kind</th><th>Name</th><th>Version</th>"
                     "<th>Bytes</th><th>Blocks</th></tr>\n");
        for (const auto& file : m_files)
            std::fprintf(out,
                         "<tr><td>%d</td><td>%d</td><td>%s</td><td>%s</td><td>%s</td><td>%u</"
                         "td><td>%u</td></tr>\n",
                         file.key.type, file.key.subtype,
                         Escaped(kestra::card::DescribeFileType(file.key.type, file.key.subtype,
                                                                file.placeholder))
                             .c_str(),
                         Escaped(kestra::card::PrintableName(file.name)).c_str(),
                         Escaped(kestra::card::PrintableName(VersionOf(file))).c_str(), file.length,
                         file.blocks());
        std::fprintf(
            out,
            "</table>\n<p>Files: %zu. Used: %llu bytes. Free: %llu bytes. Bad blocks: %u of %u "
            "(blocks of %zu bytes, %llu bytes in all).</p>\n",
            m_files.size(), static_cast<unsigned long long>(m_usedBytes),
            static_cast<unsigned long long>(m_freeBytes), m_badBlocks, m_blocks, m_blockBytes,
            static_cast<unsigned long long>(cardBytes));
        return;
    }
    std::fprintf(out, "Card contents:\n");
    std::fprintf(out,
                 "Type Subtype Kind                   Name                                     "
                 "Version                      Bytes Blocks\n");
    for (const auto& file : m_files)
        std::fprintf(
            out, "%4d %7d %-22s %-40s %-24s %10u %6u\n", file.key.type, file.key.subtype,
            kestra::card::DescribeFileType(file.key.type, file.key.subtype, file.placeholder)
                .c_str(),
            kestra::card::PrintableName(file.name).c_str(),
            kestra::card::PrintableName(VersionOf(file)).c_str(), file.length, file.blocks());
    std::fprintf(out,
                 "Files: %zu. Used: %llu bytes. Free: %llu bytes. Bad blocks: %u of %u (blocks of "
                 "%zu bytes, "
                 "%llu bytes in all).\n",
                 m_files.size(), static_cast<unsigned long long>(m_usedBytes),
                 static_cast<unsigned long long>(m_freeBytes), m_badBlocks, m_blocks, m_blockBytes,
                 static_cast<unsigned long long>(cardBytes));
}

void CSupportedTypesList::Dump(FILE* out) const {
    std::fprintf(out, "Supported SSFDC card types:\n");
    std::fprintf(out, "Code    MB Blocks Pages Page size File system Manufacturer\n");
    for (const CSSFDCStatus& type : m_types)
        std::fprintf(out, "0x%02X %5d %6d %5d %9d %-11s %s\n",
                     static_cast<unsigned>(type.TypeCode) & 0xFFu, type.MB, type.Blocks, type.Pages,
                     type.PageSize,
                     kestra::card::InterfacePageDevice::SuitsFileSystem(type) ? "yes" : "raw only",
                     type.Manufacturer);
    if (m_types.empty()) std::fprintf(out, "(none: cardtype.ini is missing or empty)\n");
}
