// Any answer text through the whole version check, with recording fakes: nothing crashes, the
// check ends in one of its known ways, what it shows stays bounded, and an accepted update's
// address stays one quoted argument whatever the answer holds.
// The first byte picks the user's reply to the update question (odd: Yes) and whether the
// exchange itself fails; the rest is the answer body as UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "update/utf8.h"
#include "update/version_check.h"

using namespace varnel;
using namespace varnel::testing;

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t control = size > 0 ? data[0] : 0;
    FakeTransport transport;
    transport.answer = {
        200,
        FromUtf8(std::string(reinterpret_cast<const char*>(data), size).substr(size > 0 ? 1 : 0))};
    transport.fail = (control & 0x80) != 0;
    const TableCodePage codePage{{}};
    const FormPoster poster{transport, codePage};
    FakeMessageBoxes boxes;
    boxes.replies = {(control & 1) != 0 ? kAnswerYes : kAnswerNo};
    FakeLogList list;
    FakeStatusBar status;
    FakeTimeOfDay clock;
    ActivityLog log{list, status, clock};
    FakeProgramStarter starter;
    FakeProcessExit exit;
    FakeWindowPresence window;
    int wentOn = 0;
    VersionCheck check(
        poster, boxes, log, starter, exit, window, [&] { ++wentOn; }, [&] { ++wentOn; },
        {u"https://s.test", u"https://d.test"});

    bool ended = false;
    try {
        check.Timer1_Timer();
    } catch (const ProcessEnded&) {
        ended = true;
    }

    // Either the process ends or the tool goes on; at most one box; the log is not written.
    Require(ended ? wentOn == 0 : wentOn == 2);
    Require(boxes.shown.size() <= 1 && list.lines.empty() &&
            starter.started.size() <= (ended ? 1 : 0));
    for (const auto& box : boxes.shown) {
        Require(box.style == kStyleInfoOk || box.style == kStyleInfoYesNo);
        Require(box.text.size() <= 14 + VersionCheck::kMaxVersionChars);
    }
    Require(status.panels.size() <= 1 && status.panels[2].size() <= 30);
    for (const auto& started : starter.started) {
        // The address stays one quoted argument whatever the sid holds.
        const std::u16string& line = started.commandLine;
        Require(line.rfind(u"explorer.exe \"https://d.test/index.php/Works/detail/sid/", 0) == 0);
        Require(line.size() <= 60 + 3 * 3 * VersionCheck::kMaxSidChars);
        Require(line.back() == u'"' && line.find_first_of(u" \"", 14) == line.size() - 1);
    }
    return 0;
}
