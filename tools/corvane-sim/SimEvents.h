#pragma once
// The simulated system's events in the sandbox's "Application" event log.
#include <cstdint>
#include <string>

namespace sim {

// The providers whose messages the installation registers: the system's own and the licence
// service's ("%1": the event's first insert is its message).
extern const char* const SystemProvider;
extern const char* const LicensingProvider;

void RegisterEventPublishers(const std::string& sandbox);
// Writes one event; false (and a line on standard error) when it cannot be written.
bool WriteEvent(const std::string& sandbox, const std::string& provider, int64_t level, int64_t id,
                const std::string& text);

// What the running system reports: started, applications gone cold, an error now and then.
class TSystemEvents {
public:
    explicit TSystemEvents(std::string sandbox) : FSandbox(std::move(sandbox)) {}
    void Started();
    // Called about every 50 ms while the system runs.
    void Tick();
    void Stopping();

private:
    std::string FSandbox;
    int64_t FTicks = 0;
    int64_t FErrors = 0;
};

} // namespace sim

// corvane-sim event DIR [--provider NAME] [--level N] [--id N] TEXT
int RunEvent(int argc, char** argv);
