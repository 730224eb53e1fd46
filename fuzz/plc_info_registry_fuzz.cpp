// The PLC information list over random inputs: four random description strings of a driver
// module, then a random registry store file, read back through both registry forms. The text
// form must also read back what it writes of whatever it read. In the store file "%F" stands
// for the scanned folder, which holds a (not loadable) "K32PLC1.so", so that copies naming
// that folder's drivers are read and not only scanned again.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <QBuffer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "extension_classes/plc_info.h"
#include "extension_classes/registry.h"
#include "extension_classes/registry_format.h"
#include "platform/files.h"
#include "platform/module.h"

namespace {

const std::string& workFolder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "kxc-fuzz-XXXXXX").string();
        std::string made = mkdtemp(pattern.data());
        std::filesystem::create_directories(made + "/drivers");
        std::ofstream(made + "/drivers/K32PLC1.so");
        return made;
    }();
    return folder;
}

void describeModule(FuzzedDataProvider& input) {
    std::string texts[4];
    for (auto& text : texts) text = input.ConsumeRandomLengthString(300);
    const kestra::platform::StringResource strings[] = {
        {1, texts[0].c_str()}, {2, texts[1].c_str()}, {3, texts[2].c_str()}, {4, texts[3].c_str()}};
    const kestra::platform::ResourceRegistration registration(
        &strings, kestra::platform::ResourceKind::Strings, strings, std::size(strings));
    CPlcInfo info;
    info.CreateIndirect(kestra::platform::ModuleOf(&strings));
    std::string version;
    info.GetVersionStr(version);
    if (version.size() > 16) std::abort();
}

void readStore(const std::string& bytes) {
    QByteArray raw(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&raw);
    buffer.open(QIODevice::ReadOnly);
    QSettings::SettingsMap first;
    kestra::kxc::ReadRegistryText(buffer, first);
    QBuffer written;
    written.open(QIODevice::ReadWrite);
    kestra::kxc::WriteRegistryText(written, first);
    written.seek(0);
    QSettings::SettingsMap second;
    kestra::kxc::ReadRegistryText(written, second);
    if (first != second) std::abort();
}

void loadLists(const std::string& bytes) {
    static unsigned run = 0;
    const std::string file = workFolder() + "/store" + std::to_string(run++ % 4) + ".reg";
    std::filesystem::remove(file);
    const std::string folder = workFolder() + "/drivers";
    std::string text = bytes;
    for (std::size_t at = 0; (at = text.find("%F", at)) != std::string::npos; at += folder.size())
        text.replace(at, 2, folder);
    std::ofstream(file, std::ios::binary) << text;
    setenv(KXCRegistry::kStoreVariable, file.c_str(), 1);
    CPlcInfoList list("TarvelFabricon\\");
    list.SetScanFolder(folder);
    list.InsertClientInfo(bytes.size() % 2 == 0);
    list.Load();
    for (int i = 0; i < list.GetCount(); ++i) {
        CPlcInfo* info = list.GetAt(i);
        list.FindDLL(info->m_strDllName);
        list.FindVersion(info->m_nProjectCode);
        info->GetVersionStr();
    }
    list.Load16();
    std::filesystem::remove(file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    describeModule(input);
    const std::string store = input.ConsumeRemainingBytesAsString();
    readStore(store);
    loadLists(store);
    return 0;
}
