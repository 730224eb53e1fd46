// The fixture of the project store's tests: a registered host allocator, message boxes
// collected instead of shown, a temporary current folder (the repair log is written into the
// current folder), and the images and projects of a test released afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/memory.h"
#include "platform/message_box.h"
#include "project_store/project_store.h"
#include "project_store/store.h"
#include "support/project_builder.h"
#include "support/temp_folder.h"
#include "utilities/services.h"

namespace kestra::testing {

// Bytes of an image written by hand, little-endian.
class ImageBytes {
  public:
    ImageBytes& u8(std::uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    ImageBytes& u16(std::uint16_t v) {
        return u8(static_cast<std::uint8_t>(v)).u8(static_cast<std::uint8_t>(v >> 8));
    }
    ImageBytes& u32(std::uint32_t v) {
        return u16(static_cast<std::uint16_t>(v)).u16(static_cast<std::uint16_t>(v >> 16));
    }
    ImageBytes& zeros(std::size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    ImageBytes& text(std::string_view t) {
        bytes.insert(bytes.end(), t.begin(), t.end());
        return *this;
    }
    ImageBytes& cstring(std::string_view t) { return text(t).u8(0); }
    template <typename T>
    ImageBytes& record(const T& r) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(&r);
        bytes.insert(bytes.end(), b, b + sizeof r);
        return *this;
    }
    // The header and descriptor of an image whose record follows at 48.
    ImageBytes& header(std::uint8_t formatCode) {
        return u16(44).zeros(42).u8(1).u16(48).u8(formatCode);
    }

    std::vector<std::uint8_t> bytes;
};

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_.path());
        previousAllocator_ = SetAppFmalloc(&mem::HostAllocate);
        previousPresenter_ = platform::SetMessageBoxPresenter(
            [this](HWND, std::string_view text, std::string_view caption, UINT) {
                messages.push_back(std::string(caption) + "|" + std::string(text));
                return IDOK;
            });
    }
    void TearDown() override {
        for (HGLOBAL p : projects_) store::ReleaseProject(p);
        for (HGLOBAL i : images_) GlobalFree(i);
        platform::SetMessageBoxPresenter(previousPresenter_);
        SetAppFmalloc(previousAllocator_);
        std::filesystem::current_path(previousFolder_);
    }

    // The current folder while the test runs.
    const TempFolder& currentFolder() const { return folder_; }

    // A project that the test releases at its end.
    HGLOBAL keep(HGLOBAL project) {
        if (project) projects_.push_back(project);
        return project;
    }
    HGLOBAL build(const ProjectShape& shape) { return keep(BuildProject(shape)); }

    HGLOBAL save(HGLOBAL project) {
        HGLOBAL image = 0;
        const DWORD length = SaveProject(project, 0, &image);
        EXPECT_NE(length, 0u);
        if (image) {
            EXPECT_EQ(GlobalSize(image), length);
            images_.push_back(image);
        }
        return image;
    }
    HGLOBAL load(HGLOBAL image, const char* options = nullptr) {
        ProjectLoadOptions record{0, options};
        return keep(GetProjectExt(image, 0, options ? &record : nullptr));
    }
    HGLOBAL imageOf(const std::vector<std::uint8_t>& bytes) {
        HGLOBAL image = GlobalCopy(std::as_bytes(std::span(bytes)));
        images_.push_back(image);
        return image;
    }
    static std::vector<std::uint8_t> bytes(HGLOBAL block) {
        auto b = mem::Bytes(block);
        auto* u = reinterpret_cast<const std::uint8_t*>(b.data());
        return std::vector<std::uint8_t>(u, u + b.size());
    }

    std::vector<std::string> messages;

  private:
    std::vector<HGLOBAL> projects_;
    std::vector<HGLOBAL> images_;
    TempFolder folder_;
    std::filesystem::path previousFolder_;
    APPFMALLOC previousAllocator_ = nullptr;
    platform::MessageBoxPresenter previousPresenter_;
};

}  // namespace kestra::testing
