// The control bound to a picture field of a data control's record: the
// field name, the binding option and the storage settings (ids 91–95), and
// the field's value in both directions; and their dispatch table.
#include "control_dispatch.h"
#include "core/codes.h"
#include "core/document.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control.h"
#include "image_control_p.h"
#include "picture_data.h"

namespace qova::engine {

QString ImageControl::dataField() const {
    log(dispid::DataField);
    return dataField_;
}

void ImageControl::setDataField(const QString& field) {
    log(dispid::DataField);
    dataField_ = field;
}

int ImageControl::dataBindingOption() const {
    log(dispid::DataBindingOption);
    return dataBindingOption_;
}

void ImageControl::setDataBindingOption(int option) {
    log(dispid::DataBindingOption);
    dataBindingOption_ = option;
}

int ImageControl::dataStorageBits() const {
    log(dispid::DataStorageBits);
    return dataStorageBits_;
}

void ImageControl::setDataStorageBits(int bits) {
    log(dispid::DataStorageBits);
    dataStorageBits_ = bits;
}

int ImageControl::dataStorageFormat() const {
    log(dispid::DataStorageFormat);
    return dataStorageFormat_;
}

void ImageControl::setDataStorageFormat(int format) {
    log(dispid::DataStorageFormat);
    dataStorageFormat_ = format;
}

int ImageControl::dataStorageQuality() const {
    log(dispid::DataStorageQuality);
    return dataStorageQuality_;
}

void ImageControl::setDataStorageQuality(int quality) {
    log(dispid::DataStorageQuality);
    dataStorageQuality_ = quality;
}

QByteArray ImageControl::dataPicture() const {
    if (isEmpty()) return {};
    QByteArray bytes;
    const int16_t code =
        encodePicture(d->doc, dataStorageFormat_, dataStorageBits_, dataStorageQuality_, bytes);
    if (code != kOk) throw EngineError(code, "data storage");
    return bytes;
}

int16_t ImageControl::setDataPicture(const QByteArray& bytes) {
    Document doc;
    const int16_t code = bytes.isEmpty() ? int16_t(kOk) : decodePicture(bytes, doc);
    setDataDocument(code == kOk ? std::move(doc) : Document{});
    return code;
}

void ImageControl::setDataDocument(Document doc) {
    // The picture comes from the record, not from a file: forget the file
    // of the last load.
    if (!d->doc.imageSource().empty()) d->doc.setImageSource({});
    d->doc.setDocument(std::move(doc));
}

namespace dispatch {

std::span<const Entry> dataEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::DataField, "dataField", [](C& c, const L&) { return V(c.dataField()); },
         [](C& c, const V& v) { c.setDataField(v.toString()); }},
        {dispid::DataStorageBits, "dataStorageBits", [](C& c, const L&) { return V(c.dataStorageBits()); },
         [](C& c, const V& v) { c.setDataStorageBits(v.toInt()); }},
        {dispid::DataStorageFormat, "dataStorageFormat", [](C& c, const L&) { return V(c.dataStorageFormat()); },
         [](C& c, const V& v) { c.setDataStorageFormat(v.toInt()); }},
        {dispid::DataStorageQuality, "dataStorageQuality", [](C& c, const L&) { return V(c.dataStorageQuality()); },
         [](C& c, const V& v) { c.setDataStorageQuality(v.toInt()); }},
        {dispid::DataBindingOption, "dataBindingOption", [](C& c, const L&) { return V(c.dataBindingOption()); },
         [](C& c, const V& v) { c.setDataBindingOption(v.toInt()); }},
    };
    return table;
}

}  // namespace dispatch
}  // namespace qova::engine
