#include "workbench/views/driver_texts.h"

#include <QCoreApplication>
#include <string>

#include "extension_classes/plc_driver.h"
#include "kestra/driver.h"
#include "platform/module.h"

namespace kestra::workbench {

namespace {

// String resources of a driver: the names of the field kinds (100 + kind) and of the
// attribute class.
constexpr UINT kKindNames = 100;
constexpr UINT kAttributeClassName = 203;

QString DriverString(host::Driver* driver, UINT id) {
    if (!driver) return {};
    char text[256] = "";
    if (LoadString(driver->loader().GetHandle(), id, text, sizeof text) <= 0) return {};
    return QString::fromUtf8(text);
}

}  // namespace

QString AddressText(host::Driver* driver, const ProjectBlock& project, const FieldRecord& field) {
    if (!driver || (field.fieldClass != kPlcDataClass && field.fieldClass != kAttributeClass))
        return {};
    // The driver works on copies: showing a field never changes the project.
    uPLCSETUP setup = project.record.nodeA;
    uPLCADR ref = field.plc;
    char text[256] = "";
    if (!driver->loader().GetLogicalAddress(text, &setup, &ref)) return {};
    return QString::fromUtf8(text);
}

QString DataFormatName(host::Driver* driver, const FieldRecord& field) {
    std::string name;
    if (driver && driver->loader().GetDataFormatStringFromId(field.plc.dataFormat, name) &&
        !name.empty())
        return QString::fromStdString(name);
    return QString::number(field.plc.dataFormat);
}

QString KindName(host::Driver* driver, const FieldRecord& field) {
    const QString name = DriverString(driver, kKindNames + field.kind());
    return name.isEmpty() ? QString::number(field.kind()) : name;
}

QString ClassName(host::Driver* driver, const FieldRecord& field) {
    if (field.fieldClass == kPlcDataClass)
        return QCoreApplication::translate("kestra::workbench", "PLC data");
    if (field.fieldClass == kAttributeClass) {
        const QString name = DriverString(driver, kAttributeClassName);
        if (!name.isEmpty()) return name;
    }
    return QString::number(field.fieldClass);
}

}  // namespace kestra::workbench
