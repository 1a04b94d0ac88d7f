#include "check/smoke_report.h"

#include <algorithm>
#include <sstream>

#include "model/atomic_file.h"

namespace vornisel {

bool Findings::expect(bool holds, const std::string& problem) {
    if (!holds) problems_.push_back(problem);
    return holds;
}

std::string Findings::text() const {
    std::string joined;
    for (const std::string& problem : problems_) {
        if (!joined.empty()) joined += "; ";
        joined += problem;
    }
    return joined;
}

void SmokeReport::record(const std::string& name, Outcome outcome, const std::string& message) {
    checks_.push_back({name, outcome, message});
}

void SmokeReport::record(const std::string& name, const Findings& findings,
                         const std::string& passedMessage) {
    if (findings.ok()) {
        record(name, Outcome::passed, passedMessage);
    } else {
        record(name, Outcome::failed, findings.text());
    }
}

bool SmokeReport::passed() const {
    return !checks_.empty() && std::none_of(checks_.begin(), checks_.end(), [](const Check& c) {
        return c.outcome == Outcome::failed;
    });
}

bool SmokeReport::has(const std::string& name) const {
    return std::any_of(checks_.begin(), checks_.end(),
                       [&](const Check& c) { return c.name == name; });
}

const char* SmokeReport::text(Outcome outcome) {
    switch (outcome) {
        case Outcome::passed:
            return "passed";
        case Outcome::failed:
            return "failed";
        case Outcome::skipped:
            return "skipped";
    }
    return "failed";
}

nlohmann::ordered_json SmokeReport::json() const {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Check& check : checks_) {
        list.push_back(
            {{"name", check.name}, {"outcome", text(check.outcome)}, {"message", check.message}});
    }
    return {{"passed", passed()}, {"checks", std::move(list)}};
}

void SmokeReport::write(const std::filesystem::path& file) const {
    writeFileAtomically(file, json().dump(2) + "\n");
}

std::string SmokeReport::summary() const {
    std::ostringstream out;
    size_t failed = 0;
    size_t skipped = 0;
    for (const Check& check : checks_) {
        failed += check.outcome == Outcome::failed;
        skipped += check.outcome == Outcome::skipped;
        out << (check.outcome == Outcome::passed    ? "PASS "
                : check.outcome == Outcome::skipped ? "SKIP "
                                                    : "FAIL ")
            << check.name << ": " << check.message << "\n";
    }
    out << checks_.size() << " checks: " << checks_.size() - failed - skipped << " passed, "
        << failed << " failed, " << skipped << " skipped\n";
    return out.str();
}

}  // namespace vornisel
