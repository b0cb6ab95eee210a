#include "frametext.h"

#include <charconv>
#include <sstream>

namespace {

// The whole of `text` as a number in `base`, at most `largest`.
bool wholeNumber(const std::string &text, int base, uint64_t largest, uint64_t &value)
{
    const char *end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, value, base);
    return !text.empty() && problem == std::errc() && stop == end && value <= largest;
}

bool hexByte(char high, char low, uint8_t &byte)
{
    uint64_t value = 0;
    if (!wholeNumber(std::string{high, low}, 16, 0xFF, value))
        return false;
    byte = uint8_t(value);
    return true;
}

// One line with a frame on it, its comment already cut off. The problem, or empty if it reads.
std::string parseFrame(std::istringstream &words, LogFrame &frame)
{
    std::string time, id, format, data, word;
    words >> time >> id >> format;
    while (words >> word)
        data += word;

    uint64_t value = 0;
    if (!wholeNumber(time, 10, UINT32_MAX, value))
        return "the time must be whole microseconds from 0 to 4294967295";
    frame.time = uint32_t(value);

    if (format != "std" && format != "ext")
        return "the format must be std or ext";
    frame.extended = format == "ext";
    if (id.rfind("0x", 0) == 0 || id.rfind("0X", 0) == 0)
        id.erase(0, 2);
    const uint32_t largestId = frame.extended ? kLargestExtendedId : kLargestStandardId;
    if (!wholeNumber(id, 16, largestId, value))
        return frame.extended ? "an extended identifier must be hexadecimal, at most 1FFFFFFF"
                              : "a standard identifier must be hexadecimal, at most 7FF";
    frame.id = uint32_t(value);

    if (data.size() % 2 != 0 || data.size() > 2 * frame.data.size())
        return "the data must be up to 8 bytes of two hexadecimal digits each";
    frame.data.fill(0);
    for (size_t i = 0; i < data.size() / 2; ++i) {
        if (!hexByte(data[2 * i], data[2 * i + 1], frame.data[i]))
            return "the data must be up to 8 bytes of two hexadecimal digits each";
    }
    return {};
}

} // namespace

bool readFrameText(std::istream &in, std::vector<LogFrame> &frames, std::string &error)
{
    std::string line;
    for (size_t number = 1; std::getline(in, line); ++number) {
        const std::string text = line.substr(0, line.find('#'));
        if (text.find_first_not_of(" \t\r\f\v") == std::string::npos)
            continue;
        std::istringstream words(text);
        LogFrame frame;
        const std::string problem = parseFrame(words, frame);
        if (!problem.empty()) {
            error = "line " + std::to_string(number) + ": " + problem;
            return false;
        }
        frames.push_back(frame);
    }
    if (in.bad()) {
        error = "the input cannot be read";
        return false;
    }
    return true;
}
