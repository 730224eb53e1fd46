#include "devices/device_io.h"

#include <map>
#include <string_view>

#include "devices/card_reader.h"

namespace kestra::platform {

namespace {

struct OpenDevice {
    std::string name;
    std::shared_ptr<Device> device;
    bool shared;
};

std::map<std::string, std::shared_ptr<Device>>& installedDevices() {
    static std::map<std::string, std::shared_ptr<Device>> devices;
    return devices;
}

thread_local DWORD lastError = 0;

bool fail(DWORD error) {
    lastError = error;
    return false;
}

// Open handles point at these records; a handle stays valid until CloseHandle.
std::map<OpenDevice*, std::unique_ptr<OpenDevice>>& openDevices() {
    static std::map<OpenDevice*, std::unique_ptr<OpenDevice>> open;
    return open;
}

OpenDevice* findOpen(HANDLE handle) {
    auto& open = openDevices();
    auto it = open.find(static_cast<OpenDevice*>(handle));
    return it == open.end() ? nullptr : it->second.get();
}

constexpr std::string_view kDevicePrefix = "\\\\.\\";

}  // namespace

std::shared_ptr<Device> InstallDevice(const std::string& name, std::shared_ptr<Device> device) {
    auto& devices = installedDevices();
    std::shared_ptr<Device> previous;
    if (auto it = devices.find(name); it != devices.end()) {
        previous = std::move(it->second);
        devices.erase(it);
    }
    if (device) devices.emplace(name, std::move(device));
    return previous;
}

DWORD LastDeviceError() {
    return lastError;
}

}  // namespace kestra::platform

namespace pf = kestra::platform;

HANDLE CreateFile(const char* name, DWORD, DWORD shareMode, void*, DWORD creationDisposition, DWORD,
                  HANDLE) {
    std::string_view path = name ? name : "";
    if (!path.starts_with(pf::kDevicePrefix) || creationDisposition != OPEN_EXISTING) {
        pf::fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string device(path.substr(pf::kDevicePrefix.size()));
    std::shared_ptr<pf::Device> served;
    if (auto it = pf::installedDevices().find(device); it != pf::installedDevices().end())
        served = it->second;
    else
        served = pf::ConfiguredDevice(device);
    if (!served) {
        pf::fail(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    for (const auto& [handle, open] : pf::openDevices()) {
        if (open->name == device && (!open->shared || shareMode == 0)) {
            pf::fail(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
    }
    auto record = std::make_unique<pf::OpenDevice>(
        pf::OpenDevice{std::move(device), std::move(served), shareMode != 0});
    HANDLE handle = record.get();
    pf::openDevices().emplace(record.get(), std::move(record));
    return handle;
}

BOOL DeviceIoControl(HANDLE handle, DWORD code, void* input, DWORD inputSize, void* output,
                     DWORD outputSize, DWORD* returned, void* overlapped) {
    auto* open = pf::findOpen(handle);
    if (!open) return pf::fail(ERROR_INVALID_HANDLE);
    if (overlapped) return pf::fail(ERROR_INVALID_PARAMETER);
    DWORD count = 0;
    DWORD error = 0;
    bool ok = open->device->control(code, input, inputSize, output, outputSize, count, error);
    if (returned) *returned = count;
    if (!ok) return pf::fail(error ? error : ERROR_IO_DEVICE);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    auto& open = pf::openDevices();
    auto it = open.find(static_cast<pf::OpenDevice*>(handle));
    if (it == open.end()) return pf::fail(ERROR_INVALID_HANDLE);
    open.erase(it);
    return TRUE;
}
