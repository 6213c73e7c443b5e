// The engine's scanner dialogs: choosing the source among the devices SANE
// finds, and the settings of one scan (mode, resolution, area, as far as
// the device has them).
#pragma once

#include <QDialog>
#include <QString>

#include <vector>

#include "../scanner.h"

class QComboBox;
class QDoubleSpinBox;
class QListWidget;
class QSpinBox;

namespace qova::engine {

// "vendor model" of a device, or its SANE name when it tells nothing else.
QString deviceLabel(const scan::Device& d);
// The words the dialog shows for SANE's usual mode names.
QString modeLabel(const QString& mode);

class ScanSourceDialog : public QDialog {
    Q_OBJECT
public:
    // Starts on `current` when it is among the devices, else on the first.
    ScanSourceDialog(const std::vector<scan::Device>& devices, const QString& current, QWidget* parent = nullptr);
    // The SANE name of the device chosen ("" when none is selected).
    QString chosen() const;
    // Selects the device with this SANE name; false when there is none.
    bool choose(const QString& name);
    QListWidget* list() const { return list_; }

private:
    QListWidget* list_;
};

class ScanSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Shows the device's options with `start` chosen (each value kept
    // within what the device allows).
    ScanSettingsDialog(const scan::Options& options, const scan::Settings& start, const QString& device,
                       QWidget* parent = nullptr);
    scan::Settings settings() const;
    // For callers that answer the dialog themselves; values outside what
    // the device allows are brought within.
    void setMode(const QString& mode);
    void setResolution(double dpi);
    void setArea(double left, double top, double right, double bottom);

private:
    // An empty area would scan nothing: the dialog stays up.
    void accept() override;
    scan::Options options_;
    QComboBox* mode_ = nullptr;
    QComboBox* resolutionList_ = nullptr;
    QSpinBox* resolutionRange_ = nullptr;
    QDoubleSpinBox* area_[4] = {nullptr, nullptr, nullptr, nullptr};
};

}  // namespace qova::engine
