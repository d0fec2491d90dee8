// Telling a camera the window may not open from one that is not there.
// When a look finds neither identity to open, or a connect cannot open an
// interface the camera lists, the bus is asked whether the camera is on it
// all the same with a node this user is kept out of; if so, the notice
// says why and what to do. Once per arrival of the camera: a look that
// finds the camera gone from the bus makes its next arrival a new one, and
// Refresh, a look the user asks for, may bring the notice back.

#include "MainWindow.h"

#include "protocol/Discovery.h"
#include "protocol/NodeAccess.h"
#include "ui/AccessNotice.h"
#include "ui/Accessibility.h"
#include "ui_MainWindow.h"

namespace {

bool isVendorInterface(const discovery::Interface &entry)
{
    return entry.usagePage == discovery::kControlUsagePage || entry.usagePage == discovery::kDataUsagePage;
}

} // namespace

void MainWindow::lookForCameraOutOfReach()
{
    hid_device_info *list = hid_enumerate(0, 0);
    const QVector<discovery::Device> devices = discovery::devicesFrom(discovery::interfacesFrom(list));
    hid_free_enumeration(list);
    if (devices.isEmpty()) {
        m_accessNoticeGiven = false;
        hideAccessNotice();
        return;
    }
    for (const discovery::Device &device : devices) {
        // A device still arriving is judged once it is whole.
        if (!discovery::listsBothVendorInterfaces(device.interfaces))
            continue;
        for (const discovery::Interface &entry : device.interfaces) {
            if (isVendorInterface(entry) && nodeaccess::keepsUserOut(entry)) {
                offerAccessNotice();
                return;
            }
        }
    }
}

void MainWindow::noteInterfacesOutOfReach(const QVector<discovery::Interface> &interfaces, const QVector<bool> &opened)
{
    for (int i = 0; i < interfaces.size() && i < opened.size(); ++i) {
        if (!opened.at(i) && isVendorInterface(interfaces.at(i)) && nodeaccess::keepsUserOut(interfaces.at(i))) {
            offerAccessNotice();
            return;
        }
    }
}

void MainWindow::offerAccessNotice()
{
    if (m_accessNoticeGiven)
        return;
    m_accessNoticeGiven = true;
    if (!m_accessNotice) {
        m_accessNotice = new AccessNotice(ui->centralwidget);
        ui->verticalLayout_2->addWidget(m_accessNotice);
        accessibility::describeNotice(*ui, m_accessNotice);
        connect(m_accessNotice, &AccessNotice::dismissed, this, &MainWindow::scheduleHeightFit);
    }
    m_accessNotice->show();
    scheduleHeightFit();
}

void MainWindow::hideAccessNotice()
{
    if (!m_accessNotice || m_accessNotice->isHidden())
        return;
    m_accessNotice->hide();
    scheduleHeightFit();
}
