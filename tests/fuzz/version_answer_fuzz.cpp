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
#include "text/utf8.h"
#include "update/post_form.h"
#include "update/version_check.h"

using namespace varnel;
using namespace varnel::testing;

static void Require(bool condition) {
    if (!condition)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t control = size > 0 ? data[0] : 0;
    const std::string body(reinterpret_cast<const char*>(data), size);
    FakeTransport transport;
    transport.answer = {200, FromUtf8(body.substr(size > 0 ? 1 : 0))};
    transport.fail = (control & 0x80) != 0;
    const TableCodePage codePage{{}};
    FakeVersionExchange exchange;
    RepairRig rig;  // journals the boxes, the status line, the log and the program starts
    rig.boxes.replies = {(control & 1) != 0 ? kAnswerYes : kAnswerNo};
    FakeProcessExit exit;
    FakeWindowPresence window;
    int wentOn = 0;
    VersionCheck check(
        exchange, codePage, rig.boxes, rig.log, rig.starter, exit, window, [&] { ++wentOn; },
        [&] { ++wentOn; }, {u"https://s.test", u"https://d.test"});
    bool ended = false;
    try {
        check.Timer1_Timer();
        check.OnAnswer(
            PostForm(transport, exchange.started.at(0).first, exchange.started.at(0).second));
    } catch (const ProcessEnded&) {
        ended = true;
    }

    // The process ends or the tool goes on, after at most two of: a box, a status text, a start.
    Require(ended ? wentOn == 0 : wentOn == 2);
    Require(rig.journal.size() <= 2);
    for (const std::u16string& entry : rig.journal) {
        if (entry.starts_with(u"shell ")) {
            // The address stays one quoted argument whatever the sid holds.
            Require(ended && entry.ends_with(u"\" /2") &&
                    entry.starts_with(
                        u"shell explorer.exe \"https://d.test/index.php/Works/detail/sid/"));
            Require(entry.find_first_of(u" \"", 20) == entry.size() - 4);
            Require(entry.size() <= 80 + 9 * VersionCheck::kMaxSidChars);
        } else {
            Require(entry.starts_with(u"box 64 ") || entry.starts_with(u"box 68 ") ||
                    entry.starts_with(u"status "));
            Require(entry.size() <= 21 + VersionCheck::kMaxVersionChars);
        }
    }
    return 0;
}
