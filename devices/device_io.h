// Named devices and their I/O control requests.
//
// A device is opened by its Windows-style name ("\\.\Name") and driven with control
// requests: a 32-bit control code, an input buffer and an output buffer, and the number of
// bytes the device returned. Devices are objects that serve the requests; they are installed
// under their name by tests, or made from the configuration (platform/card_reader.h) when a
// name is first opened. Only device names open here; files are not reached this way.
#pragma once

#include <memory>
#include <string>

#include "platform/win_types.h"

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_IO_DEVICE = 1117;

namespace kestra::platform {

// A device that serves control requests. Control returns false with a Windows error code in
// `error` when the request fails; `returned` is the number of output bytes it produced.
class Device {
  public:
    virtual ~Device() = default;
    virtual bool control(DWORD code, const void* input, DWORD inputSize, void* output,
                         DWORD outputSize, DWORD& returned, DWORD& error) = 0;
};

// Installs a device under its bare name (without "\\.\"); null removes it. Returns the
// device that was installed under that name before.
std::shared_ptr<Device> InstallDevice(const std::string& name, std::shared_ptr<Device> device);

// The Windows error code of the last failed device call on the calling thread.
DWORD LastDeviceError();

class DeviceScope {
  public:
    DeviceScope(std::string name, std::shared_ptr<Device> device)
        : name_(std::move(name)), previous_(InstallDevice(name_, std::move(device))) {}
    ~DeviceScope() { InstallDevice(name_, std::move(previous_)); }
    DeviceScope(const DeviceScope&) = delete;
    DeviceScope& operator=(const DeviceScope&) = delete;

  private:
    std::string name_;
    std::shared_ptr<Device> previous_;
};

}  // namespace kestra::platform

// Opens "\\.\Name". A device opened without sharing (share mode 0) cannot be opened again
// until it is closed. On failure INVALID_HANDLE_VALUE, with the reason in LastDeviceError().
HANDLE CreateFile(const char* name, DWORD access, DWORD shareMode, void* security,
                  DWORD creationDisposition, DWORD flags, HANDLE templateFile);
// A synchronous request; `overlapped` must be null.
BOOL DeviceIoControl(HANDLE device, DWORD code, void* input, DWORD inputSize, void* output,
                     DWORD outputSize, DWORD* returned, void* overlapped);
BOOL CloseHandle(HANDLE handle);
