// Renders the documentation pictures of the effects editor offscreen:
//   kestrox_render_screenshots <directory>
// writes axis-effects-editor.png, curve-editor.png, main-window.png and
// live-view.png into the directory.

#include "axiseffectswidget.h"
#include "curveeditor.h"
#include "curveeditordialog.h"
#include "effectsprofile.h"
#include "liveviewwidget.h"
#include "mainwindow.h"
#include "profilefile.h"
#include "qcustomplotmarker.h"
#include "threeaxiseffectswidget.h"
#include "virtualhidtransport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <cmath>

namespace {

// A spring that is soft around the centre and firm at the ends.
PointCurve progressiveCurve()
{
    PointCurve curve;
    PointCurve::Points points;
    for (int i = 0; i < PointCurve::PointCount; ++i) {
        const float in = -100.0f + 20.0f * static_cast<float>(i);
        const float out = std::copysign(std::pow(std::abs(in) / 100.0f, 1.8f) * 80.0f, in);
        points[static_cast<std::size_t>(i)] = {in, out};
    }
    curve.setPoints(points);
    return curve;
}

bool save(QWidget *widget, const QDir &directory, const QString &name)
{
    const QString path = directory.filePath(name);
    if (!widget->grab().save(path)) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << '\n';
    return true;
}

void add(AxisEffectsWidget &editor, int type)
{
    auto *combo = editor.findChild<QComboBox *>(QStringLiteral("effects_combo"));
    combo->setCurrentIndex(combo->findData(type, AxisEffectsWidget::EffectTypeRole));
    editor.findChild<QPushButton *>(QStringLiteral("activate_effect_button"))->click();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: kestrox_render_screenshots <directory>\n";
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));

    AxisEffectsSettings axis;
    axis.reset();
    axis.simple_spring.curve = progressiveCurve();
    AxisEffectsWidget editor;
    editor.setSettings(axis);
    editor.setEnabledEffects({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14});
    for (int type : {EffectsProfile::EFFECT_TYPE_SMART_DAMPER, EffectsProfile::EFFECT_TYPE_ELEVATOR_WEIGHT,
                     EffectsProfile::EFFECT_TYPE_SIMPLE_SPRING, EffectsProfile::EFFECT_TYPE_AOA_SHAKER})
        add(editor, type);
    axis.simple_spring.total_effect_strength = 70.0f;
    axis.elevator_weight.total_effect_strength = 40.0f;
    axis.smart_damper.total_effect_strength = 60.0f;
    axis.smart_damper.static_dampening = 30.0f;
    axis.aoa_shaker.total_effect_strength = 65.0f;
    axis.aoa_shaker.speed = {80.0f, 350.0f, 20.0f};
    axis.aoa_shaker.aoa = {12.0f, 22.0f, -30.0f};
    axis.aoa_shaker.frequency = {12.0f, 35.0f, 0.0f};
    editor.refresh();
    editor.resize(1180, 560);
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor))
        return 1;
    bool written = save(&editor, directory, QStringLiteral("axis-effects-editor.png"));

    PointCurve curve = progressiveCurve();
    CurveEditorDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Strength of spring (kg) depending on control deflection (%)"));
    dialog.curveEditor()->setXRange(-100.0f, 100.0f);
    dialog.curveEditor()->setYRange(-100.0f, 100.0f);
    dialog.curveEditor()->setCurve(&curve);
    dialog.resize(800, 600);
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 1;
    dialog.curveEditor()->plot()->replot(QCustomPlot::rpImmediateRefresh);
    dialog.curveEditor()->marker(7)->startHower();
    written = save(&dialog, directory, QStringLiteral("curve-editor.png")) && written;
    dialog.hide();

    // The main window on virtual devices, with a saved DCS profile loaded.
    const QString output = directory.absolutePath();
    QTemporaryDir workspace;
    QDir::setCurrent(workspace.path());
    QDir().mkpath(profileDirectoryName());
    EffectsProfile profile;
    profile.metadata = {Telemetry::TELEMETRY_SOURCE_DCS, QStringLiteral("F-16C_50"),
                        QStringLiteral("carrier")};
    profile.settings[1] = axis;
    profile.settings[1].simple_spring.active = true;
    writeProfileFile(profile, profileDirectoryName() + QStringLiteral("/DCS_F_16C_50_carrier.json"));
    qputenv("KESTROX_UPDATE_URL", "http://127.0.0.1:9/version.json");
    MainBackgroundThreadOptions options;
    options.hid = VirtualHidTransport::withJoystickAndRudder();
    options.telemetryEndpoints = {.dcsPort = 0, .il2Port = 0, .condor2Port = 0, .warthunderStateUrl = QUrl(QStringLiteral("http://127.0.0.1:9/state")), .simConnect = {}, .msfsAddress = {}};
    MainWindow window(nullptr, options);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto *joystick = window.findChild<QLineEdit *>(QStringLiteral("joystick_state"));
    (void)QTest::qWaitFor([joystick] { return joystick->text().startsWith(QLatin1String("Connected")); },
                          5000);
    window.findChild<ThreeAxisEffectsWidget *>()->activateMatchingProfile(Telemetry::TELEMETRY_SOURCE_DCS,
                                                                          QStringLiteral("F-16C_50"));
    if (auto *tabs = window.findChild<ThreeAxisEffectsWidget *>()->findChild<QTabWidget *>())
        tabs->setCurrentIndex(1);
    window.resize(1500, 820);
    QTest::qWait(200);
    written = save(&window, QDir(output), QStringLiteral("main-window.png")) && written;
    window.hide();

    // The Live tab during 12 s of a made-up flight: the stick swept through
    // its travel against a progressive spring, a stall buffet in the middle,
    // and the ramp of the first 2 s.
    LiveViewWidget live;
    live.resize(1200, 760);
    live.show();
    if (!QTest::qWaitForWindowExposed(&live))
        return 1;
    for (int tick = 0; tick < 1200; tick += 4) {
        LiveBatch batch;
        batch.source = Telemetry::TELEMETRY_SOURCE_DCS;
        batch.count = 4;
        for (int i = 0; i < 4; ++i) {
            LiveSample &sample = batch.samples[std::size_t(i)];
            const double t = double(tick + i) / 100.0;
            const float ramp = float(std::min(1.0, t / 2.0));
            sample.timeMs = qint64((tick + i) * 10);
            sample.joystick = sample.rudder = true;
            sample.tickIntervalMs = 10 + ((tick + i) % 37 == 0 ? 1 : 0);
            sample.latencyMs = (tick + i) % 2 ? 8 + (tick + i) % 13 : -1;
            sample.records = quint16((tick + i) % 2);
            for (int axis = 0; axis < 3; ++axis) {
                const float position = float(std::sin(t * (0.6 + 0.25 * axis)) * (0.8 - 0.2 * axis));
                const float spring = -std::copysign(std::pow(std::abs(position), 1.8f) * 60.0f, position) * ramp;
                const float buffet = (axis == 1 && t > 6 && t < 9) ? ((tick + i) % 6 < 3 ? 4.0f : -4.0f) * ramp : 0;
                sample.position[std::size_t(axis)] = position;
                sample.spring[std::size_t(axis)] = spring;
                sample.periodic[std::size_t(axis)] = buffet;
                sample.force[std::size_t(axis)] = spring + buffet;
            }
        }
        live.addBatch(batch);
    }
    QTest::qWait(700); // the figures refresh twice a second
    written = save(&live, QDir(output), QStringLiteral("live-view.png")) && written;
    return written ? 0 : 1;
}
