// Scanners through SANE, for the engine's acquisition: the devices there
// are, the common options of one (mode, resolution, scan area) and a scan
// into a bitmap. Failures come back as the engine's TWAIN codes. SANE's own
// header stays inside scanner.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qova::engine {

class Bitmap;

namespace scan {

struct Device {
    std::string name;  // what SANE opens it by, e.g. "test:0"
    std::string vendor;
    std::string model;
    std::string type;
};

// A number the user may choose: from a range (step 0: any value within) or
// from a list of values.
struct NumberChoice {
    bool present = false;
    double value = 0;
    double min = 0, max = 0, step = 0;
    std::vector<double> values;  // not empty: choose one of these
    double clamp(double v) const;
};

// The common options of an open device, as far as it has them.
struct Options {
    std::vector<std::string> modes;  // empty: no mode to choose
    std::string mode;
    NumberChoice resolution;         // dots per inch
    // The scan area, in millimetres (in pixels when areaInPixels).
    NumberChoice left, top, right, bottom;
    bool areaInPixels = false;
    bool hasArea() const { return left.present && top.present && right.present && bottom.present; }
};

// What the user chose; only what the device has is applied.
struct Settings {
    std::string mode;
    double resolution = 0;
    double left = 0, top = 0, right = 0, bottom = 0;
};

// The engine's code for a SANE status (0 for success).
int16_t codeFor(int saneStatus);

// One use of SANE, from sane_init to sane_exit, with at most one device
// open. Its calls must come from one thread at a time (the engine keeps
// them on a thread of their own); cancel() may come from any thread.
class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // 0, or 20079 when SANE could not start.
    int16_t startCode() const { return startCode_; }
    int16_t listDevices(std::vector<Device>& out);
    int16_t open(const std::string& name);
    Options options() const;
    // Sets mode, then resolution, then the area, each kept within what the
    // device allows.
    int16_t apply(const Settings& s);
    // Scans one picture (all frames of a three-pass scanner) into `out`,
    // reporting progress 0–100.
    int16_t scan(Bitmap& out, const std::function<void(int)>& progress);
    // Asks a running scan to stop (it then ends with 20090), from any
    // thread, without waiting for the driver.
    void cancel();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    int16_t startCode_ = 0;
};

}  // namespace scan
}  // namespace qova::engine
