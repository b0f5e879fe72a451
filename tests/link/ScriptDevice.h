#pragma once
// A far end for the simulated line that answers fixed requests: when the host
// bytes it has received end with a rule's request, it sends the rule's answer
// after a latency.  Each rule answers as many times as it is asked, or once.
#include "LineDevice.h"

#include <cstdint>
#include <vector>

namespace korlin::test {

struct ScriptRule {
    std::vector<uint8_t> request;
    std::vector<uint8_t> answer;
    int64_t latencyUs = 2000;
    int64_t gapUs = 0;      // extra silence between answer bytes
    std::vector<uint8_t> tail; // more bytes after a silence of tailDelayUs
    int64_t tailDelayUs = 0;
    bool once = false;
    bool used = false;
};

class ScriptDevice final : public LineDevice {
public:
    ScriptRule& on(std::vector<uint8_t> request, std::vector<uint8_t> answer, int64_t latencyUs = 2000)
    {
        ScriptRule r;
        r.request = std::move(request);
        r.answer = std::move(answer);
        r.latencyUs = latencyUs;
        rules.push_back(std::move(r));
        return rules.back();
    }
    void receive(uint8_t byte, int64_t atUs, LineTx& tx) override
    {
        got.push_back(byte);
        for (ScriptRule& r : rules) {
            if (r.once && r.used)
                continue;
            if (got.size() < r.request.size()
                || !std::equal(r.request.begin(), r.request.end(), got.end() - std::ptrdiff_t(r.request.size())))
                continue;
            r.used = true;
            got.clear();
            if (!r.answer.empty())
                tx.send(r.answer.data(), r.answer.size(), atUs + r.latencyUs, r.gapUs);
            if (!r.tail.empty()) {
                const int64_t answerEnd = atUs + r.latencyUs
                                          + int64_t(r.answer.size()) * (kByteTimeUs + r.gapUs) - r.gapUs;
                tx.send(r.tail.data(), r.tail.size(), answerEnd + r.tailDelayUs, r.gapUs);
            }
            return;
        }
    }
    std::vector<ScriptRule> rules;
    std::vector<uint8_t> got;
};

} // namespace korlin::test
