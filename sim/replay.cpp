#include "replay.h"

#include "session_reader.h"

#include <algorithm>

namespace Sim {

namespace {

// Answers that stay live: texts carry no raw value, and a reset challenge
// must be the one the controller checks the reset code against.
bool is_replayable(std::string_view code)
{
    static const char* const live[] = {"PRT", "REV", "ALG", "ALO", "ALR"};
    return std::none_of(std::begin(live), std::end(live), [&](const char* c) { return code == c; });
}

} // namespace

std::shared_ptr<const Replay> Replay::load(const std::string& path, std::string* error)
{
    const auto fail = [&](const std::string& why) {
        if (error)
            *error = path + ": " + why;
        return nullptr;
    };
    Recording::Reader reader;
    if (!reader.open(path))
        return fail(reader.error());
    // Equal times keep the order they were written in: the later one counts.
    auto replay = std::make_shared<Replay>();
    const bool ok =
        reader.readings(Recording::Reader::Order::By_Code, [&](const Recording::Reading& r) {
            // A value no answer can carry is a damaged row, not a reading.
            if (r.raw >= 0 && r.raw <= 65535 && is_replayable(r.code))
                replay->readings_[std::string(r.code)].push_back(
                    {r.t_us, static_cast<unsigned>(r.raw)});
            return true;
        });
    if (!ok)
        return fail("cannot read the readings (" + reader.error() + ")");
    // The same code as text and as a blob comes in two runs: one list, in
    // time order, all the same.
    for (auto& code : replay->readings_)
        std::stable_sort(code.second.begin(), code.second.end(),
                         [](const Reading& a, const Reading& b) { return a.t_us < b.t_us; });
    return replay;
}

std::optional<unsigned> Replay::raw_at(const std::string& code,
                                       std::chrono::microseconds offset) const
{
    const auto found = readings_.find(code);
    if (found == readings_.end())
        return std::nullopt;
    const std::vector<Reading>& readings = found->second;
    auto after = std::upper_bound(readings.begin(), readings.end(), offset.count(),
                                  [](std::int64_t t, const Reading& r) { return t < r.t_us; });
    return (after == readings.begin() ? after : after - 1)->raw;
}

} // namespace Sim
