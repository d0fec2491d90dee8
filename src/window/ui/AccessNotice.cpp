#include "AccessNotice.h"

#include "StyleSheets.h"

#include "protocol/NodeAccess.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cmath>

AccessNotice::AccessNotice(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("accessNotice"));
    setStyleSheet(QString::fromUtf8(styles::kAccessNotice));

    //: Heading of the notice shown when the camera is plugged in but this
    //: user has no permission to open it.
    m_title = new QLabel(tr("This user may not open the camera"), this);
    m_title->setObjectName(QStringLiteral("accessNoticeTitle"));
    m_title->setWordWrap(true);

    //: %1 is the udev rule's file name, %2 the folder for local rules
    //: (/etc/udev/rules.d). "udev" is the Linux device manager; keep the
    //: names as they are. The commands follow below the text.
    m_text = new QLabel(tr("The camera is on the USB bus, but this user may not open its HID interfaces. On Linux "
                           "a udev rule (%1) gives them to the person logged in at this computer; logins from "
                           "elsewhere (SSH, remote desktops) get nothing from it. Install the rule (the program's "
                           "package does), or copy it from the source's packaging/linux folder to %2. Then run "
                           "these commands and plug the camera in again. The last command says exactly what is "
                           "missing.")
                            .arg(nodeaccess::ruleFileName(), QLatin1String(nodeaccess::kLocalRuleDir)),
                        this);
    m_text->setObjectName(QStringLiteral("accessNoticeText"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The commands are never translated: they are typed as they are.
    m_commands = new QTextEdit(this);
    m_commands->setObjectName(QStringLiteral("accessNoticeCommands"));
    m_commands->setReadOnly(true);
    m_commands->setAcceptRichText(false);
    m_commands->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_commands->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_commands->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_commands->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_commands->setTabChangesFocus(true);
    m_commands->setPlainText(QStringList{QLatin1String(nodeaccess::kReloadRulesCommand),
                                         QLatin1String(nodeaccess::kTriggerCommand),
                                         QLatin1String(nodeaccess::kDoctorCommand)}
                                 .join(QLatin1Char('\n')));
    //: Accessible name of the box that holds the commands to copy.
    m_commands->setAccessibleName(tr("Commands to run"));
    connect(m_commands->document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &AccessNotice::fitCommandsHeight);

    //: Button: copies the commands of the notice to the clipboard.
    m_copy = new QPushButton(tr("Copy Commands"), this);
    m_copy->setObjectName(QStringLiteral("accessNoticeCopy"));
    m_copy->setAccessibleDescription(tr("Copies the commands to the clipboard."));
    //: Button: closes the notice (it comes back when the camera is plugged in again).
    m_hide = new QPushButton(tr("Close"), this);
    m_hide->setObjectName(QStringLiteral("accessNoticeHide"));
    m_hide->setAccessibleDescription(tr("Closes this notice."));
    for (QPushButton *button : {m_copy, m_hide}) {
        button->setStyleSheet(QString::fromUtf8(styles::kNoticeButton));
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    connect(m_copy, &QPushButton::clicked, this, &AccessNotice::copyCommands);
    connect(m_hide, &QPushButton::clicked, this, [this] {
        hide();
        emit dismissed();
    });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_copy);
    buttons->addWidget(m_hide);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_text);
    layout->addWidget(m_commands);
    layout->addLayout(buttons);

    // What a screen reader says when the notice appears.
    setAccessibleName(m_title->text());
    setAccessibleDescription(m_text->text());
    fitCommandsHeight();
}

QString AccessNotice::commands() const
{
    return m_commands->toPlainText();
}

QList<QWidget *> AccessNotice::controls() const
{
    return {m_commands, m_copy, m_hide};
}

void AccessNotice::copyCommands()
{
    QGuiApplication::clipboard()->setText(commands() + QLatin1Char('\n'));
}

void AccessNotice::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    fitTextHeight();
}

void AccessNotice::fitTextHeight()
{
    // A window's layout sizes a wrapped label for a width of its own
    // choosing; at the width it gets here the text may need more lines,
    // and the window grows to give them.
    for (QLabel *label : {m_title, m_text})
        label->setMinimumHeight(label->heightForWidth(label->width()));
}

void AccessNotice::fitCommandsHeight()
{
    // As tall as its lines, wrapped or not, and no taller.
    const qreal height = m_commands->document()->size().height();
    m_commands->setFixedHeight(int(std::ceil(height)) + 2 * m_commands->frameWidth());
}
