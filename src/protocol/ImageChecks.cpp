#include "ImageChecks.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace imagecheck {

namespace {

// The titles "upd info" (device checks) and "Upd info" (the exchange) differ
// in case; both are kept as the window has always shown them. Marked for
// translation in the window's context, one row to a line.
const RefusalText kRefusalTexts[] = {
    {Refusal::None, "", ""},
    {Refusal::NotBinChoice, QT_TRANSLATE_NOOP("MainWindow", "Invalid File"), QT_TRANSLATE_NOOP("MainWindow", "Please select a .bin file.")},
    //: Title of warnings about the firmware upgrade; UPD is the camera in its upgrade mode.
    {Refusal::NotInUpgradeMode, QT_TRANSLATE_NOOP("MainWindow", "upd info"), QT_TRANSLATE_NOOP("MainWindow", "UPD Not Connect, Pls Enter UPD First!")},
    {Refusal::NoFileChosen, QT_TRANSLATE_NOOP("MainWindow", "No File"), QT_TRANSLATE_NOOP("MainWindow", "No update file selected.")},
    {Refusal::FileMissing, QT_TRANSLATE_NOOP("MainWindow", "File Not Found"), QT_TRANSLATE_NOOP("MainWindow", "Selected file does not exist.")},
    {Refusal::NotBinFile, QT_TRANSLATE_NOOP("MainWindow", "Invalid File"), QT_TRANSLATE_NOOP("MainWindow", "Selected file is not a .bin file.")},
    {Refusal::Empty, QT_TRANSLATE_NOOP("MainWindow", "Invalid File"), QT_TRANSLATE_NOOP("MainWindow", "Selected file is empty.")},
    {Refusal::TooLarge, QT_TRANSLATE_NOOP("MainWindow", "Invalid File"), QT_TRANSLATE_NOOP("MainWindow", "Selected file is too large.")},
    {Refusal::CannotOpen, QT_TRANSLATE_NOOP("MainWindow", "Read Error"), QT_TRANSLATE_NOOP("MainWindow", "Cannot open selected file.")},
    {Refusal::BlankHeader, QT_TRANSLATE_NOOP("MainWindow", "Invalid File"), QT_TRANSLATE_NOOP("MainWindow", "Selected file appears invalid (all-zero header).")},
    {Refusal::InterfacesNotOpen, QT_TRANSLATE_NOOP("MainWindow", "upd info"), QT_TRANSLATE_NOOP("MainWindow", "UPD device not connect")},
    {Refusal::CannotOpenForUpload, QT_TRANSLATE_NOOP("MainWindow", "Read Error"), QT_TRANSLATE_NOOP("MainWindow", "Cannot open selected file for upload.")},
};

} // namespace

const RefusalText &refusalText(Refusal refusal)
{
    for (const RefusalText &entry : kRefusalTexts) {
        if (entry.refusal == refusal)
            return entry;
    }
    return kRefusalTexts[0];
}

bool hasBinSuffix(const QString &path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("bin");
}

bool hasNonZeroHeader(const QByteArray &head)
{
    return std::any_of(head.cbegin(), head.cend(), [](char byte) { return byte != 0; });
}

Refusal checkChoice(const QString &path)
{
    return hasBinSuffix(path) ? Refusal::None : Refusal::NotBinChoice;
}

Refusal checkSize(qint64 size)
{
    if (size <= 0)
        return Refusal::Empty;
    if (size > kMaxImageSize)
        return Refusal::TooLarge;
    return Refusal::None;
}

Refusal checkImageFile(const QString &path)
{
    if (path.isEmpty())
        return Refusal::NoFileChosen;
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return Refusal::FileMissing;
    if (!hasBinSuffix(path))
        return Refusal::NotBinFile;
    if (const Refusal size = checkSize(info.size()); size != Refusal::None)
        return size;
    // Opened only to read the first bytes, and closed again at once.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Refusal::CannotOpen;
    const QByteArray head = file.read(kHeaderTestBytes);
    file.close();
    if (!hasNonZeroHeader(head))
        return Refusal::BlankHeader;
    return Refusal::None;
}

Refusal checkUpgradeStart(const DeviceState &device, const QString &path)
{
    if (!device.upgradeModeConnected)
        return Refusal::NotInUpgradeMode;
    if (const Refusal file = checkImageFile(path); file != Refusal::None)
        return file;
    // Both interfaces: without the data interface the image could be
    // announced but never sent.
    if (!device.interfacesOpen)
        return Refusal::InterfacesNotOpen;
    return Refusal::None;
}

} // namespace imagecheck
