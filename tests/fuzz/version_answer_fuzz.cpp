// Answer text -> parse -> decision, through the whole version check with recording fakes.
// Every input must end in exactly one outcome, with exactly the effects of that outcome, and an
// accepted update's address stays one quoted argument whatever the answer holds.
// The first byte picks the user's reply to the update question (odd: Yes) and whether the
// exchange itself fails; the rest is the answer body as UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fakes/fake_repair.h"
#include "fakes/fake_update_services.h"
#include "fakes/fake_window.h"
#include "update/utf8.h"
#include "update/version_check.h"

using namespace varnel;
using namespace varnel::testing;

namespace {

constexpr char16_t kInitialStatus[] = u"正在检测是否有最新版本..";

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t control = size > 0 ? data[0] : 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0),
                            size > 0 ? size - 1 : 0);
    const bool yes = (control & 1) != 0;
    const bool exchangeFails = (control & 0x80) != 0;

    FakeTransport transport;
    transport.answer = {200, FromUtf8(bytes)};
    transport.fail = exchangeFails;
    const TableCodePage codePage{{}};
    const FormPoster poster{transport, codePage};
    FakeMessageBoxes boxes;
    boxes.replies = {yes ? kAnswerYes : kAnswerNo};
    FakeLogList list;
    FakeStatusBar status;
    FakeTimeOfDay clock;
    ActivityLog log{list, status, clock};
    status.SetPanelText(2, kInitialStatus);
    FakeProgramStarter starter;
    FakeProcessExit exit;
    FakeWindowPresence window;
    int enabled = 0;
    int stopped = 0;
    VersionCheck check(
        poster, boxes, log, starter, exit, window, [&] { ++enabled; }, [&] { ++stopped; },
        {u"https://s.test", u"https://d.test"});

    bool ended = false;
    try {
        check.Timer1_Timer();
    } catch (const ProcessEnded&) {
        ended = true;
    }

    const bool asked = boxes.shown.size() == 1 && boxes.shown[0].style == kStyleInfoYesNo;
    const bool wentOn = !ended && enabled == 1 && stopped == 1 && starter.started.empty();
    const bool failed = wentOn && boxes.shown.size() == 1 &&
                        boxes.shown[0].text == u"检测失败,请先使用当前版本" &&
                        boxes.shown[0].style == kStyleInfoOk && status.Panel2() == kInitialStatus;
    const bool upToDate = wentOn && boxes.shown.empty() &&
                          status.Panel2() == u"当前软件为最新版本,欢迎使用Varnel软件..";
    const bool optionalDeclined =
        wentOn && asked && !yes && status.Panel2() == u"欢迎使用Varnel软件..";
    const bool accepted = ended && asked && yes && exit.ends == 1 && starter.started.size() == 1 &&
                          enabled + stopped == 0;
    const bool mandatoryDeclined = ended && asked && !yes && exit.ends == 1 &&
                                   starter.started.empty() && enabled + stopped == 0 &&
                                   status.Panel2() == kInitialStatus;
    Require(failed + upToDate + optionalDeclined + accepted + mandatoryDeclined == 1);
    Require(list.lines.empty());

    if (accepted) {
        // The address stays one quoted argument whatever the sid holds.
        const std::u16string& line = starter.started[0].commandLine;
        Require(line.rfind(u"explorer.exe \"https://d.test/index.php/Works/detail/sid/", 0) == 0);
        Require(line.back() == u'"');
        Require(line.find_first_of(u" \"", 14) == line.size() - 1);
    }
    return 0;
}
