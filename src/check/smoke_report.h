#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vornisel {

// What a check found wrong, collected while it looks at one thing after another, so that a
// failing check names every problem at once.
class Findings {
public:
    // Records `problem` unless `holds`; returns `holds`.
    bool expect(bool holds, const std::string& problem);
    void add(const std::string& problem) { problems_.push_back(problem); }
    bool ok() const { return problems_.empty(); }
    // The problems joined with "; ".
    std::string text() const;

private:
    std::vector<std::string> problems_;
};

// The outcome of every check of the built-in UI check, in the order they ran, and the result
// file "ui-smoke.json" made from them.
class SmokeReport {
public:
    enum class Outcome { passed, failed, skipped };
    struct Check {
        std::string name;
        Outcome outcome;
        std::string message;
    };

    void record(const std::string& name, Outcome outcome, const std::string& message);
    // Passed with `passedMessage`, or failed with the findings.
    void record(const std::string& name, const Findings& findings,
                const std::string& passedMessage);

    const std::vector<Check>& checks() const { return checks_; }
    bool passed() const;
    bool has(const std::string& name) const;

    // {"passed": bool, "checks": [{"name", "outcome", "message"}, ...]}
    nlohmann::ordered_json json() const;
    void write(const std::filesystem::path& file) const;
    // One line per check and a closing count, for the terminal.
    std::string summary() const;

    static const char* text(Outcome outcome);

private:
    std::vector<Check> checks_;
};

}  // namespace vornisel
