#include "app/AboutDialog.h"
#include "app/UpdateResultPresenter.h"
#include "components/Appearance.h"
#include "modules/App/AppViewModel.h"
#include "modules/Onboarding/OnboardingView.h"
#include "modules/Settings/IntegrationsSettingsViewModel.h"
#include "modules/Settings/SettingsView.h"
#include "support/ShellFakes.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QDir>
#include <QMessageBox>
#include <QSet>

using namespace tolvo;
using namespace tolvo::test;

// Draws every screen of the shell in light and dark. With TOLVO_GRAB_DIR set, the pictures are
// written there as PNG files for a person to look at.
class ScreenGrabTest : public QObject
{
    Q_OBJECT
private:
    void save(QWidget *widget, const QString &name)
    {
        QCoreApplication::processEvents();
        const QPixmap picture = widget->grab();
        QCOMPARE(picture.deviceIndependentSize().toSize(), widget->size());
        // The screen is drawn in its appearance, all of it: mostly dark in dark and light in
        // light, with something on it besides the background.
        const QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
        qint64 lightness = 0;
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                lightness += pixel.lightness();
                if (colours.size() < 3)
                    colours.insert(pixel.rgb());
            }
        }
        const qint64 mean = lightness / std::max<qint64>(1, qint64(image.width()) * image.height());
        const bool dark = Appearance::current() == ColorScheme::dark;
        QVERIFY2(dark ? mean < 110 : mean > 145,
            qPrintable(QStringLiteral("%1 has a mean lightness of %2").arg(name).arg(mean)));
        QVERIFY2(colours.size() >= 3, qPrintable(name + QStringLiteral(" is blank")));
        const QString folder = qEnvironmentVariable("TOLVO_GRAB_DIR");
        if (folder.isEmpty())
            return;
        QDir().mkpath(folder);
        const QString scheme = Appearance::current() == ColorScheme::dark ? QStringLiteral("dark")
                                                                          : QStringLiteral("light");
        QVERIFY(picture.save(QDir(folder).filePath(name + QLatin1Char('-') + scheme + ".png")));
    }

private slots:
    void cleanup()
    {
        test::deleteTopLevelWindows();
        Appearance::instance().setOverride(std::nullopt);
    }

    void screens_data()
    {
        QTest::addColumn<ColorScheme>("scheme");
        QTest::newRow("light") << ColorScheme::light;
        QTest::newRow("dark") << ColorScheme::dark;
    }
    void screens()
    {
        QFETCH(ColorScheme, scheme);
        Appearance::instance().setOverride(scheme);
        ShellFakes fakes;
        fakes.localCalendars = {localCalendar(QStringLiteral("a"), QStringLiteral("Calendar")),
            localCalendar(QStringLiteral("b"), QStringLiteral("Team meetings"),
                LocalCalendarSource::calDAV, QStringLiteral("#E67C73"))};
        AppViewModel model;
        OnboardingView onboarding(&model);
        onboarding.setTransitionDuration(0);
        onboarding.setFixedSize(650, 400);
        onboarding.show();
        save(&onboarding, QStringLiteral("welcome"));
        model.setCurrentStep(OnboardingStep::auth);
        save(&onboarding, QStringLiteral("sign-in"));
        model.setCurrentStep(OnboardingStep::appleCalendarSupport);
        save(&onboarding, QStringLiteral("support"));
        model.setCalendars(offeredCalendars(fakes.localCalendars));
        model.setSelectedCalendar(fakes.localCalendars.at(1));
        model.setCurrentStep(OnboardingStep::appleCalendarSelection);
        save(&onboarding, QStringLiteral("selection"));

        SettingsView settings;
        settings.show();
        save(&settings, QStringLiteral("settings-general"));
        settings.selectTab(SettingsView::Tab::integrations);
        save(&settings, QStringLiteral("settings-integrations"));
        settings.integrationsViewModel()->requestCalendarAccess();
        QTRY_VERIFY(settings.integrationsViewModel()->available());
        save(&settings, QStringLiteral("settings-integrations-granted"));

        QWidget host;
        host.resize(650, 400);
        host.show();
        QMessageBox *about = showAboutDialog(&host);
        save(about, QStringLiteral("about"));
        about->close();
        UpdateResultPresenter updates(fakes.updateResults->publisher(), &host);
        UpdateCheckResult result;
        result.currentVersion = QStringLiteral("0.1.0");
        result.update = UpdateInfo {QStringLiteral("0.2.0"),
            QUrl(QStringLiteral("https://example.org/tolvo")),
            QStringLiteral("Reminders now show the meeting's location.")};
        updates.present(result);
        save(updates.messageBox(), QStringLiteral("update"));
    }
};

TOLVO_WIDGET_TEST_MAIN(ScreenGrabTest)
#include "ScreenGrabTest.moc"
