// Dispatch by id, inside the engine control: each feature area of the
// control keeps the table of the ids it answers in its own .cpp file, and
// image_control_dispatch.cpp consults every area's table. A new area
// declares its table here (in its slot) and lists it in kAreas there.
#pragma once

#include <QVariant>
#include <QVariantList>

#include <span>

namespace qova::engine {

class ImageControl;

namespace dispatch {

// One id: the member it reaches, how to read or call it (args as given to
// dispatch()) and how to put it; either may be null.
struct Entry {
    int id;
    const char* member;
    QVariant (*get)(ImageControl& c, const QVariantList& args);
    void (*put)(ImageControl& c, const QVariant& value);
};

// The i-th argument, or an empty value.
inline QVariant arg(const QVariantList& a, int i) { return i < a.size() ? a[i] : QVariant(); }

// --- the areas' tables ---
std::span<const Entry> documentEntries();  // image_control.cpp
std::span<const Entry> viewEntries();      // image_control_view.cpp
// processing: image_control_ops.cpp
std::span<const Entry> opsEntries();

// regions: image_control_regions.cpp
std::span<const Entry> regionEntries();

// animation: image_control_animation.cpp
std::span<const Entry> animationEntries();

// output: image_control_output.cpp
std::span<const Entry> outputEntries();

// display: image_control_display.cpp
std::span<const Entry> displayEntries();
// data binding: image_control_data.cpp
std::span<const Entry> dataEntries();

}  // namespace dispatch
}  // namespace qova::engine
