// The ejections beyond one request: every drive, waiting, forced, the medium alone.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "holders/console_commands.h"
#include "holders/eject_plans.h"
#include "platform/platform_error.h"

namespace varnel::holders {
namespace {

// Devices by letter, the system's answers in turn, one volume whose requests go to a journal.
struct FakeEject : DeviceEject, MillisecondClock, Volumes {
    std::u16string FindDevice(char16_t letter) override {
        Note("find");
        return devices.count(letter) ? devices[letter] : u"";
    }
    std::vector<std::u16string> DeviceChain(char16_t) override { return {}; }  // not ejected
    EjectAnswer RequestEject(const std::u16string& device) override {
        Note("eject " + std::string(device.begin(), device.end()));
        if (ejectFails)
            throw PlatformError(u"CM_Request_Device_EjectW", u"设备不存在。");
        return {++requests > vetoes, 5, u"USB\\VID_1"};
    }
    uint32_t Now() override { return now; }
    void Sleep(uint32_t ms) override { now += ms; }
    VolumeFacts Describe(char16_t) override { return facts; }
    // The volume's requests go to the journal; its handle's closing too.
    std::unique_ptr<VolumeHandle> Open(char16_t) override {
        Note("open");
        struct Handle : VolumeHandle {
            explicit Handle(FakeEject& f) : f(f) {}
            ~Handle() override { f.Note("close"); }
            bool Lock() override { return f.Note("lock"), ++f.lockTries > f.lockRefusals; }
            void Unlock() override { f.Note("unlock"); }
            void Dismount() override { Step("dismount"); }
            void AllowRemoval() override { Step("allow"); }
            void EjectMedia() override { Step("media"); }
            void Step(const std::string& what) {
                f.Note(what);
                if (what == f.failAt)
                    throw PlatformError(u"DeviceIoControl", u"设备未就绪。");
            }
            FakeEject& f;
        };
        return std::make_unique<Handle>(*this);
    }
    void Note(const std::string& what) { journal += (journal.empty() ? "" : ", ") + what; }

    std::map<char16_t, std::u16string> devices;
    VolumeFacts facts;
    int vetoes = 0, requests = 0, lockRefusals = 0, lockTries = 0;
    bool ejectFails = false;
    std::string failAt, journal;
    uint32_t now = 0;
};

std::string Locks(int count) {
    std::string locks;
    for (int i = 0; i < count; ++i)
        locks += ", lock";
    return locks;
}

TEST(EjectAll, TakesEachDeviceOnceInLetterOrder) {
    FakeEject system;
    system.devices = {{u'E', u"USB\\A"}, {u'F', u"USB\\B"}, {u'G', u"USB\\A"}};
    std::vector<DriveInfo> drives(4);
    for (size_t i = 0; i < drives.size(); ++i)
        drives[i].letter = u"GEXF"[i];
    std::string plan;  // "G=E": G goes with E
    for (const PlannedEject& p : PlanEjectAll(drives, system))
        plan += std::string(1, char(p.letter)) +
                (p.sameDeviceAs ? "=" + std::string(1, char(p.sameDeviceAs)) : "") + " ";
    EXPECT_EQ(plan, "E F G=E X ");
    EXPECT_TRUE(PlanEjectAll({}, system).empty());
}

TEST(EjectAll, ExitCodeIsTheWorstOfThem) {
    const struct {
        std::vector<int> codes;
        int worst;
    } kCases[] = {{{}, kExitClear},
                  {{kExitClear}, kExitClear},
                  {{kExitClear, kExitHeld, kExitClear}, kExitHeld},
                  {{kExitHeld, kExitError, kExitClear}, kExitError},
                  {{kExitIncomplete, kExitClear}, kExitIncomplete},
                  {{kExitHeld, kExitIncomplete}, kExitHeld}};
    for (const auto& c : kCases)
        EXPECT_EQ(WorstExitCode(c.codes), c.worst) << c.codes.size();
}

TEST(EjectWaiting, RetriesWhileVetoedShowingHoldersOnChangeUntilTheTimeIsUp) {
    FakeEject system;
    system.devices = {{u'T', u"USB\\A"}};
    system.vetoes = 3;
    std::vector<HolderReport> looks = {{{{4, u"a.exe", {}}}, 0}, {{{4, u"a.exe", {}}}, 0}, {{}, 1}};
    size_t looked = 0;
    std::vector<size_t> shown;
    const auto look = [&] { return looks[looked++]; };
    EjectOutcome outcome = EjectWaiting(u'T', system, system, 10, look, [&](auto& report) {
        shown.push_back(report.holders.size());
    });
    EXPECT_EQ(outcome.result, EjectResult::Ejected);
    EXPECT_EQ(outcome.tries, 4);
    EXPECT_EQ(shown, (std::vector<size_t>{1, 0}));
    EXPECT_EQ(system.now, 3 * kEjectPauseMs);

    // Time up: the last veto stands.
    system.requests = 0, system.now = 0, system.vetoes = 1000;
    outcome = EjectWaiting(
        u'T', system, system, 2, [] { return HolderReport{}; }, [](auto&) {});
    EXPECT_EQ(outcome.result, EjectResult::Vetoed);
    EXPECT_EQ(outcome.tries, 5);  // at 0, 500, 1000, 1500 and 2000 ms
    EXPECT_EQ(outcome.lastAnswer.vetoType, 5);
    EXPECT_LE(system.now, 2000u);
    FakeEject none;
    EXPECT_EQ(EjectWaiting(
                  u'T', none, none, 2, [] { return HolderReport{}; }, [](auto&) {})
                  .result,
              EjectResult::DeviceNotFound);
}

TEST(ForceEject, StepsFollowTheLockAndTheUsersAnswer) {
    const struct {
        int lockRefusals, vetoes;
        bool confirmed;
        std::string journal, steps;
    } kCases[] = {
        // The lock holds on the third try: no dismount, the eject goes with the lock held.
        {2, 0, false, "find, open" + Locks(3) + ", eject USB\\A, close", "locked eject_requested"},
        // The lock holds but the system still vetoes: the lock is given back.
        {0, 9, false, "find, open, lock, eject USB\\A, eject USB\\A, eject USB\\A, unlock, close",
         "locked eject_requested unlocked"},
        // Files stay open and the user says no: nothing more is sent.
        {99, 0, false, "find, open" + Locks(kLockTries) + ", close", "lock_refused not_confirmed"},
        // Files stay open and the user agrees: dismount, then the eject.
        {99, 0, true, "find, open" + Locks(kLockTries) + ", dismount, eject USB\\A, close",
         "lock_refused dismounted eject_requested"},
    };
    for (const auto& c : kCases) {
        FakeEject system;
        system.devices = {{u'T', u"USB\\A"}};
        system.lockRefusals = c.lockRefusals;
        system.vetoes = c.vetoes;
        bool asked = false;
        const EjectSteps outcome = ForceEject(u'T', system, system, system, [&] {
            asked = true;
            return c.confirmed;
        });
        std::string steps;
        for (const EjectStep step : outcome.steps)
            steps += (steps.empty() ? "" : " ") + std::string(StepName(step));
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(system.journal, c.journal) << c.steps;
        EXPECT_EQ(asked, c.lockRefusals > kLockTries) << c.steps;
    }
}

TEST(ForceEject, NeverTouchesTheWindowsPageFileOrAnInternalDisk) {
    const struct {
        VolumeFacts facts;
        Refusal refusal;
    } kCases[] = {{{true, false, false, false}, Refusal::WindowsVolume},
                  {{false, true, false, false}, Refusal::PageFileVolume},
                  {{false, false, true, false}, Refusal::FixedDisk}};
    for (const auto& c : kCases) {
        FakeEject system;
        system.facts = c.facts;
        const auto never = [] { return true; };
        EXPECT_EQ(ForceEject(u'C', system, system, system, never).refusal, c.refusal);
        EXPECT_EQ(EjectMedium(u'C', system, system).refusal, c.refusal);
        EXPECT_EQ(system.journal, "");  // not even opened
        EXPECT_NE(RefusalText(u'C', c.refusal).find(u"C:"), std::u16string::npos);
    }
}

TEST(ForceEject, AFailedRequestGivesTheLockBack) {
    FakeEject system;
    system.devices = {{u'T', u"USB\\A"}};
    system.ejectFails = true;
    EXPECT_THROW(ForceEject(u'T', system, system, system, [] { return true; }), PlatformError);
    EXPECT_EQ(system.journal, "find, open, lock, eject USB\\A, unlock, close");
}

TEST(EjectMedium, LocksDismountsAllowsRemovalAndEjectsInOrderAndStopsAtARefusedLock) {
    FakeEject system;
    const EjectSteps outcome = EjectMedium(u'T', system, system);
    EXPECT_EQ(system.journal, "open, lock, dismount, allow, media, close");
    EXPECT_EQ(outcome.steps.back(), EjectStep::MediumEjected);

    const struct {
        std::string failAt, journal;
    } kFailures[] = {{"dismount", "open, lock, dismount, unlock, close"},
                     {"allow", "open, lock, dismount, allow, unlock, close"},
                     {"media", "open, lock, dismount, allow, media, unlock, close"}};
    for (const auto& c : kFailures) {
        FakeEject failing;
        failing.failAt = c.failAt;
        EXPECT_THROW(EjectMedium(u'T', failing, failing), PlatformError);
        EXPECT_EQ(failing.journal, c.journal);
    }
    // A refused lock stops it before any request.
    FakeEject held;
    held.lockRefusals = 99;
    EXPECT_EQ(EjectMedium(u'T', held, held).steps, std::vector<EjectStep>{EjectStep::LockRefused});
    EXPECT_EQ(held.journal, "open" + Locks(kLockTries) + ", close");
    EXPECT_EQ(held.now, (kLockTries - 1) * kLockPauseMs);
}

}  // namespace
}  // namespace varnel::holders
