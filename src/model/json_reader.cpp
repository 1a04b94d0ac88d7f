#include "model/json_reader.h"

#include <cmath>
#include <limits>

#include "base/utf8.h"
#include "model/decode_error.h"
#include "model/panel_document.h"

namespace vornisel {
namespace {

using Json = nlohmann::ordered_json;

std::string typeName(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::boolean:
            return "a boolean";
        case Json::value_t::string:
            return "a string";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::binary:
            return "binary data";
        case Json::value_t::discarded:
            return "nothing";
        default:
            return "a number";
    }
}

// Line and column (both from 1) of a byte offset, for syntax error messages.
std::string position(std::string_view bytes, size_t offset) {
    size_t line = 1;
    size_t column = 1;
    for (size_t i = 0; i < offset && i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The parser keeps its own stack, but the rest of the library (comparison, dumping) recurses, so
// absurd nesting is refused before parsing. Brackets inside strings do not count.
void checkDepth(std::string_view bytes, const std::string& file) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > maxDocumentDepth) {
                throwDecodeError(file, "",
                                 "is nested more than " + std::to_string(maxDocumentDepth) +
                                     " levels deep at " + position(bytes, i));
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
}

}  // namespace

void throwDecodeError(const std::string& file, const std::string& path,
                      const std::string& problem) {
    if (path.empty()) throw DecodeError(file + ": " + problem);
    throw DecodeError(file + ": " + path + " " + problem);
}

void throwTooLarge(const std::string& file) {
    throwDecodeError(file, "",
                     "is larger than " + std::to_string(maxDocumentBytes / (1024 * 1024)) +
                         " MiB and is not read");
}

std::optional<int64_t> wholeNumber(const Json& value, int64_t low, int64_t high) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return {};
        const auto signedNumber = static_cast<int64_t>(number);
        if (signedNumber < low || signedNumber > high) return {};
        return signedNumber;
    }
    if (value.is_number_integer()) {
        const auto number = value.get<int64_t>();
        if (number < low || number > high) return {};
        return number;
    }
    if (value.is_number_float()) {
        // A whole number written with a fraction or exponent ("28010.0", "1e3") is still the
        // number.
        const double number = value.get<double>();
        if (number != std::floor(number)) return {};
        if (number < static_cast<double>(low) || number > static_cast<double>(high)) return {};
        if (number >= 9.2233720368547758e18) return {};
        return static_cast<int64_t>(number);
    }
    return {};
}

Json parseStoredJson(std::string_view bytes, const std::string& file) {
    if (bytes.size() > maxDocumentBytes) throwTooLarge(file);
    if (const auto offset = invalidUtf8Offset(bytes)) {
        throwDecodeError(file, "", "is not valid UTF-8 text (at " + position(bytes, *offset) + ")");
    }
    checkDepth(bytes, file);
    try {
        return Json::parse(bytes.begin(), bytes.end());
    } catch (const Json::parse_error& error) {
        const size_t offset = error.byte > 0 ? error.byte - 1 : 0;
        if (offset >= bytes.size()) throwDecodeError(file, "", "is not valid JSON (it ends early)");
        throwDecodeError(file, "", "is not valid JSON (at " + position(bytes, offset) + ")");
    } catch (const Json::exception&) {
        // A number too large for a double ("1e400") is the only other thing parsing reports.
        throwDecodeError(file, "", "holds a number out of range");
    }
}

JsonReader::JsonReader(const Json& object, std::string file, std::string path)
    : object_(object), file_(std::move(file)), path_(std::move(path)) {
    if (!object_.is_object()) {
        if (path_.empty()) {
            throwDecodeError(file_, "", "must hold a JSON object, not " + typeName(object_));
        }
        throwDecodeError(file_, path_, "must be an object, not " + typeName(object_));
    }
}

std::string JsonReader::memberPath(const char* key) const {
    return path_.empty() ? std::string(key) : path_ + "." + key;
}

std::string JsonReader::elementPath(const char* key, size_t index) const {
    return memberPath(key) + "[" + std::to_string(index) + "]";
}

void JsonReader::fail(const char* key, const std::string& problem) const {
    throwDecodeError(file_, memberPath(key), problem);
}

const Json& JsonReader::required(const char* key) const {
    const auto found = object_.find(key);
    if (found == object_.end()) fail(key, "is missing");
    return *found;
}

std::string JsonReader::string(const char* key) const {
    const Json& value = required(key);
    if (!value.is_string()) fail(key, "must be a string, not " + typeName(value));
    return value.get<std::string>();
}

std::optional<std::string> JsonReader::optionalString(const char* key) const {
    const auto found = object_.find(key);
    if (found == object_.end() || found->is_null()) return std::nullopt;
    if (!found->is_string()) fail(key, "must be a string or null, not " + typeName(*found));
    return found->get<std::string>();
}

bool JsonReader::boolean(const char* key) const {
    const Json& value = required(key);
    if (!value.is_boolean()) fail(key, "must be true or false, not " + typeName(value));
    return value.get<bool>();
}

double JsonReader::number(const char* key) const {
    const Json& value = required(key);
    if (!value.is_number()) fail(key, "must be a number, not " + typeName(value));
    return value.get<double>();
}

int64_t JsonReader::int64(const char* key) const {
    const Json& value = required(key);
    const auto low = std::numeric_limits<int64_t>::min();
    const auto high = std::numeric_limits<int64_t>::max();
    if (!value.is_number()) fail(key, "must be a whole number, not " + typeName(value));
    const auto number = wholeNumber(value, low, high);
    if (!number) fail(key, "must be a whole number in the 64-bit range");
    return *number;
}

uint32_t JsonReader::uint32(const char* key) const {
    const Json& value = required(key);
    const int64_t high = std::numeric_limits<uint32_t>::max();
    if (!value.is_number()) fail(key, "must be a whole number, not " + typeName(value));
    const auto number = wholeNumber(value, 0, high);
    if (!number) fail(key, "must be a whole number from 0 to 4294967295");
    return static_cast<uint32_t>(*number);
}

const Json& JsonReader::array(const char* key) const {
    const Json& value = required(key);
    if (!value.is_array()) fail(key, "must be an array, not " + typeName(value));
    return value;
}

const Json& JsonReader::object(const char* key) const {
    const Json& value = required(key);
    if (!value.is_object()) fail(key, "must be an object, not " + typeName(value));
    return value;
}

}  // namespace vornisel
