// The window in each language it speaks: which translation a system gets,
// that the window is translated throughout, and that no text is cut off.

#include "Translations.h"
#include "WindowHarness.h"

#include <QAbstractButton>
#include <QFontDatabase>
#include <QLabel>
#include <QMap>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

namespace {

// The gap Qt's styles leave between a button's icon and its text.
constexpr int kIconTextGap = 4;

// Technical abbreviations every translation keeps.
const QStringList kKeptTexts = {QStringLiteral("REF"), QStringLiteral("LPF")};
// Texts some languages write as English does.
const QMap<QString, QStringList> kSameWords = {
    {QStringLiteral("de"), {QStringLiteral("VERSION:  ")}},
};

// Every visible label and button text, by object name.
QMap<QString, QString> visibleTexts(QWidget *window)
{
    QMap<QString, QString> texts;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->isVisible() && !label->text().isEmpty())
            texts.insert(label->objectName(), label->text());
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (button->isVisible() && !button->text().isEmpty())
            texts.insert(button->objectName(), button->text());
    }
    return texts;
}

// Every visible label and button whose text does not fit the room it has,
// measured with the font it is drawn in.
QStringList cutOffTexts(QWidget *window)
{
    QStringList cut;
    const auto report = [&cut](QWidget *widget, const QString &text, int needed, int room) {
        cut << QStringLiteral("%1 \"%2\" needs %3 px, has %4").arg(widget->objectName(), text).arg(needed).arg(room);
    };
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->isVisible() || label->text().isEmpty())
            continue;
        // A label that wraps needs the height of its lines at its width.
        if (label->wordWrap()) {
            const int needed = label->heightForWidth(label->width());
            if (label->height() < needed)
                cut << QStringLiteral("%1 needs %2 px of height, has %3").arg(label->objectName()).arg(needed).arg(label->height());
            continue;
        }
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        const int room = label->contentsRect().width() - 2 * label->margin();
        if (room < needed || label->width() < label->sizeHint().width())
            report(label, label->text(), qMax(needed, label->sizeHint().width()), label->width());
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (!button->isVisible() || button->text().isEmpty())
            continue;
        // A style sheet can pin a button's width, and then its size hint is
        // pinned too: the room inside its padding is what counts.
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
        int needed = button->fontMetrics().horizontalAdvance(button->text());
        if (!button->icon().isNull())
            needed += button->iconSize().width() + kIconTextGap;
        if (room < needed || button->width() < button->minimumSizeHint().width())
            report(button, button->text(), needed, room);
    }
    return cut;
}

// Opens both panels: the upgrade panel with its button, the extra
// settings through the access code on their hidden button.
bool openBothPanels(WindowHarness &h)
{
    h.click("upgradeMode");
    h.modals.queueInput(QStringLiteral("5291"));
    h.click("exitButton_2");
    return QTest::qWaitFor([&h] {
        return h.find<QWidget>("StartUpd")->isVisible() && h.find<QWidget>("micRms1")->isVisible();
    });
}

struct Walk
{
    QMap<QString, QString> texts;   // "state/objectName" -> text
    QStringList cut;                // "state: ..." for each text cut off
    QStringList boxes;              // titles and texts of the boxes shown
};

// Takes the window through the states that show the most texts, with both
// panels open, and notes what it shows in each.
Walk walkWindow()
{
    Walk walk;
    WindowHarness h;
    const auto note = [&](const QString &state) {
        // The height fit runs from a zero-delay timer and the layouts from
        // posted events: let the one run, then lay out what is pending.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        const QMap<QString, QString> texts = visibleTexts(h.window.get());
        for (auto it = texts.cbegin(); it != texts.cend(); ++it)
            walk.texts.insert(state + QLatin1Char('/') + it.key(), it.value());
        walk.texts.insert(state + QStringLiteral("/title"), h.window->windowTitle());
        for (const QString &line : cutOffTexts(h.window.get()))
            walk.cut << state + QStringLiteral(": ") + line;
    };
    if (!openBothPanels(h)) {
        walk.cut << QStringLiteral("the panels did not open");
        return walk;
    }
    note(QStringLiteral("start"));

    // The camera in its mode with the longest name.
    h.camera.setMode(8);
    if (!h.connect())
        walk.cut << QStringLiteral("the camera did not connect");
    note(QStringLiteral("camera"));

    // The upgrade device, with the device's own progress under way.
    h.camera.detach();
    h.camera.attach(sim::Identity::Upgrade);
    h.refresh();
    h.camera.queueReply(0x22, 0x04, QByteArray(1, char(40)));
    if (!h.drainReplies())
        walk.cut << QStringLiteral("the upgrade device's replies were not read");
    note(QStringLiteral("upgrade"));

    // Gone, and Apply pressed regardless.
    h.camera.detach();
    h.refresh();
    h.click("applyButton");
    note(QStringLiteral("gone"));

    // Back, with nodes this user may not open: the notice.
    h.camera.setProbeFails(sim::Identity::Normal, true);
    h.camera.attach(sim::Identity::Normal);
    h.refresh();
    note(QStringLiteral("out of reach"));
    for (const ModalRecord &record : h.modals.records())
        walk.boxes << record.title << record.text;
    return walk;
}

} // namespace

class LanguagesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void offeredLanguages();
    void choose_data();
    void choose();
    void installAndRemove();
    void windowInEachLanguage_data();
    void windowInEachLanguage();
};

void LanguagesTest::init()
{
    translations::install(QString());
}

void LanguagesTest::cleanup()
{
    translations::install(QString());
}

void LanguagesTest::offeredLanguages()
{
    QStringList offered = translations::available();
    offered.sort();
    QCOMPARE(offered, (QStringList{"de", "es", "fr", "ja", "zh_CN"}));
}

void LanguagesTest::choose_data()
{
    QTest::addColumn<QString>("system");
    QTest::addColumn<QStringList>("preferred");
    QTest::addColumn<QString>("chosen");

    // What QLocale::system() reports under each environment, as Qt builds it.
    QTest::newRow("C locale") << "C" << QStringList{"C"} << "";
    QTest::newRow("C locale, LANGUAGE=de") << "C" << QStringList{"de", "de-DE"} << "";
    QTest::newRow("English") << "en_US" << QStringList{"en-US", "en", "en-Latn-US"} << "";
    QTest::newRow("English before German") << "en_US" << QStringList{"en-US", "en", "de", "de-DE"} << "";
    QTest::newRow("German") << "de_DE" << QStringList{"de-DE", "de", "de-Latn-DE"} << "de";
    QTest::newRow("Austrian German") << "de_AT" << QStringList{"de-AT", "de-Latn-AT"} << "de";
    QTest::newRow("Canadian French") << "fr_CA" << QStringList{"fr-CA", "fr-Latn-CA"} << "fr";
    QTest::newRow("Mexican Spanish") << "es_MX" << QStringList{"es-MX", "es-Latn-MX"} << "es";
    QTest::newRow("Japanese") << "ja_JP" << QStringList{"ja-JP", "ja", "ja-Jpan-JP"} << "ja";
    QTest::newRow("Simplified Chinese") << "zh_CN" << QStringList{"zh-CN", "zh", "zh-Hans-CN"} << "zh_CN";
    QTest::newRow("Singapore Chinese") << "zh_SG" << QStringList{"zh-SG", "zh-Hans-SG"} << "zh_CN";
    QTest::newRow("Traditional Chinese") << "zh_TW" << QStringList{"zh-TW", "zh-Hant-TW"} << "";
    QTest::newRow("Italian, then French") << "it_IT" << QStringList{"it-IT", "it", "fr", "fr-FR"} << "fr";
    QTest::newRow("nothing on offer") << "pt_BR" << QStringList{"pt-BR", "pt"} << "";
}

void LanguagesTest::choose()
{
    QFETCH(QString, system);
    QFETCH(QStringList, preferred);
    QFETCH(QString, chosen);
    QCOMPARE(translations::choose(QLocale(system), preferred, translations::available()), chosen);
}

void LanguagesTest::installAndRemove()
{
    QVERIFY(translations::install(QStringLiteral("de")));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Apply"), QStringLiteral("Übernehmen"));
    // Qt's own texts for the standard buttons, from the system's Qt
    // translations (Debian: qttranslations5-l10n).
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));

    // A language on offer replaces the one before, Qt's part included.
    QVERIFY(translations::install(QStringLiteral("fr")));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Apply"), QStringLiteral("Appliquer"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annuler"));

    // One not on offer leaves the source texts, as does no language.
    QVERIFY(!translations::install(QStringLiteral("pt_BR")));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Apply"), QStringLiteral("Apply"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    QVERIFY(translations::install(QStringLiteral("ja")));
    QVERIFY(translations::install(QString()));
    QCOMPARE(QCoreApplication::translate("MainWindow", "Apply"), QStringLiteral("Apply"));
}

void LanguagesTest::windowInEachLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("script");   // QFontDatabase::WritingSystem
    QTest::newRow("source texts") << "" << int(QFontDatabase::Latin);
    QTest::newRow("zh_CN") << "zh_CN" << int(QFontDatabase::SimplifiedChinese);
    QTest::newRow("de") << "de" << int(QFontDatabase::Latin);
    QTest::newRow("fr") << "fr" << int(QFontDatabase::Latin);
    QTest::newRow("es") << "es" << int(QFontDatabase::Latin);
    QTest::newRow("ja") << "ja" << int(QFontDatabase::Japanese);
}

void LanguagesTest::windowInEachLanguage()
{
    QFETCH(QString, language);
    QFETCH(int, script);
    // Without a font for the script every glyph is a box, and the widths
    // measured below would mean nothing.
    QVERIFY2(!QFontDatabase().families(QFontDatabase::WritingSystem(script)).isEmpty(),
             "no font for this language's script (Debian: fonts-wqy-microhei)");

    const Walk source = walkWindow();
    QVERIFY2(source.cut.isEmpty(), qPrintable(source.cut.join(QLatin1Char('\n'))));
    if (language.isEmpty())
        return;

    QVERIFY(translations::install(language));
    const Walk translated = walkWindow();
    QVERIFY2(translated.cut.isEmpty(), qPrintable(translated.cut.join(QLatin1Char('\n'))));

    // The same widgets show texts in each language, and every one of them
    // is translated: a text left in English means it never reached tr().
    QCOMPARE(translated.texts.keys(), source.texts.keys());
    QStringList untranslated;
    for (auto it = source.texts.cbegin(); it != source.texts.cend(); ++it) {
        if (translated.texts.value(it.key()) == it.value() && !kKeptTexts.contains(it.value())
            && !kSameWords.value(language).contains(it.value()))
            untranslated << it.key() + QStringLiteral(": ") + it.value();
    }
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join(QLatin1Char('\n'))));

    // The access-code dialog, then the warning of Apply without a camera.
    QCOMPARE(source.boxes,
             (QStringList{"Password", "Input passwords:", "Configuration Failed", "Device offline"}));
    QCOMPARE(translated.boxes.size(), source.boxes.size());
    for (int i = 0; i < source.boxes.size(); ++i)
        QVERIFY2(translated.boxes.at(i) != source.boxes.at(i), qPrintable(translated.boxes.at(i)));
}

QTEST_MAIN(LanguagesTest)
#include "tst_languages.moc"
