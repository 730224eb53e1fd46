#include "card_service/progress.h"

#include <cmath>
#include <cstdio>

namespace kestra::card {
namespace {

std::string Rate(double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond >= 1024.0 * 1024.0)
        std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / (1024.0 * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.1f KB/s", bytesPerSecond / 1024.0);
    return text;
}

std::string Duration(double seconds) {
    const auto whole = static_cast<unsigned long>(std::llround(std::max(0.0, seconds)));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%lu:%02lu", whole / 60, whole % 60);
    return text;
}

}  // namespace

std::string FormatProgressLine(std::string_view task, std::uint64_t done, std::uint64_t total,
                               double elapsedSeconds, bool finished) {
    const unsigned percent =
        total ? static_cast<unsigned>(std::min(done, total) * 100 / total) : 100;
    std::string line(task);
    line += ": " + std::to_string(percent) + "% " + std::to_string(done) + "/" +
            std::to_string(total) + " bytes";
    if (elapsedSeconds <= 0.0 || done == 0) return line;
    const double rate = static_cast<double>(done) / elapsedSeconds;
    line += ", " + Rate(rate);
    if (finished)
        line += ", " + Duration(elapsedSeconds);
    else if (done < total)
        line += ", " + Duration(static_cast<double>(total - done) / rate) + " left";
    return line;
}

}  // namespace kestra::card
