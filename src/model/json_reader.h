#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace vornisel {

// Strict member access for one JSON object of a stored file. Every failure is a DecodeError whose
// text names the file and the member path, e.g. "panel.json: presets[0].clients[2].port must be a
// string", so the person who edited the file knows what to fix.
class JsonReader {
public:
    using Json = nlohmann::ordered_json;

    // `path` is the object's own place in the file ("" for the top level).
    JsonReader(const Json& object, std::string file, std::string path);

    std::string string(const char* key) const;
    std::optional<std::string> optionalString(const char* key) const;
    bool boolean(const char* key) const;
    double number(const char* key) const;
    int64_t int64(const char* key) const;
    uint32_t uint32(const char* key) const;
    const Json& array(const char* key) const;
    const Json& object(const char* key) const;

    const std::string& file() const { return file_; }
    std::string memberPath(const char* key) const;
    std::string elementPath(const char* key, size_t index) const;

private:
    const Json& required(const char* key) const;
    [[noreturn]] void fail(const char* key, const std::string& problem) const;

    const Json& object_;
    std::string file_;
    std::string path_;
};

// Throws a DecodeError "<file>: <path> <problem>" (or "<file>: <problem>" at the top level).
[[noreturn]] void throwDecodeError(const std::string& file, const std::string& path,
                                   const std::string& problem);

// Throws the DecodeError for a file above maxDocumentBytes.
[[noreturn]] void throwTooLarge(const std::string& file);

// Integer value of a JSON number when it is a whole number in [low, high].
std::optional<int64_t> wholeNumber(const nlohmann::ordered_json& value, int64_t low, int64_t high);

// Checks size, UTF-8, nesting depth and syntax before parsing; throws DecodeError naming `file`.
nlohmann::ordered_json parseStoredJson(std::string_view bytes, const std::string& file);

}  // namespace vornisel
