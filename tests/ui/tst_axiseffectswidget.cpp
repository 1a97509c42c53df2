#include "axiseffectswidget.h"
#include "curveeditor.h"
#include "curveeditordialog.h"
#include "curveview.h"
#include "effectsprofile.h"
#include "qcustomplotmarker.h"
#include "simplespringsettingswidget.h"
#include "uitestsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Effect ids allowed without a simulator; the ailerons and rudder get them without 2.
QSet<int> elevatorSet()
{
    return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14};
}

QSet<int> withoutElevatorWeight()
{
    QSet<int> set = elevatorSet();
    set.remove(2);
    return set;
}

const QStringList kSelectorNames = {
    QStringLiteral("Standard FFB (DirectX)"),
    QStringLiteral("Simple spring"),
    QStringLiteral("GForce spring"),
    QStringLiteral("AOA spring"),
    QStringLiteral("Natural airflow spring"),
    QStringLiteral("Elevator weight"),
    QStringLiteral("Landing jolt shaker"),
    QStringLiteral("Rolling on ground shakeer"),
    QStringLiteral("AoA shaker"),
    QStringLiteral("Extended gear shaker"),
    QStringLiteral("Extended flaps shaker"),
    QStringLiteral("Extended airbrakes shaker"),
    QStringLiteral("IL2 Sturmovik specific shaker"),
    QStringLiteral("Condor 2 specific shaker"),
    QStringLiteral("Smart dampers"),
};

// Selector row of each effect type.
constexpr int kRowOfType[AxisEffectsWidget::EffectCount] = {4, 1, 5, 0, 6, 8, 9, 10, 11, 7, 12, 13, 14, 2, 3};

struct Editor
{
    explicit Editor(const QSet<int> &allowed = elevatorSet())
    {
        axis.reset();
        widget.setSettings(axis);
        widget.setEnabledEffects(allowed);
    }

    template<typename T>
    T *child(const char *name) const
    {
        T *found = widget.findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no %s", name);
        return found;
    }

    QComboBox *combo() const { return child<QComboBox>("effects_combo"); }
    QListView *list() const { return child<QListView>("active_effects_list"); }
    int page() const { return child<QStackedWidget>("effect_stack")->currentIndex(); }

    QStringList selectorRows() const
    {
        QStringList shown;
        auto *popup = qobject_cast<QListView *>(combo()->view());
        for (int row = 0; row < combo()->count(); ++row) {
            if (!popup->isRowHidden(row))
                shown.append(combo()->itemText(row));
        }
        return shown;
    }

    QStringList listedEffects() const
    {
        QStringList shown;
        for (int row = 0; row < list()->model()->rowCount(); ++row) {
            if (!list()->isRowHidden(row))
                shown.append(list()->model()->index(row, 0).data().toString());
        }
        return shown;
    }

    bool selectable(int row) const
    {
        return combo()->model()->index(row, 0).flags().testFlag(Qt::ItemIsEnabled);
    }

    void add(int type)
    {
        combo()->setCurrentIndex(kRowOfType[type]);
        QTest::mouseClick(child<QPushButton>("activate_effect_button"), Qt::LeftButton);
    }

    AxisEffectsSettings axis;
    AxisEffectsWidget widget;
};

PointCurve::Points pointsOf(const PointCurve &curve)
{
    return curve.points;
}

// Runs `interact` on the curve dialog once its modal loop is running. The
// press that opens it may be delivered after a zero timer, so this looks again
// until the dialog is up; it gives up with `context`.
void whenCurveDialogOpens(QObject *context, std::function<void(CurveEditorDialog *)> interact,
                          int attempts = 500)
{
    QTimer::singleShot(attempts == 500 ? 0 : 10, context, [context, interact, attempts] {
        auto *dialog = qobject_cast<CurveEditorDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (attempts <= 0)
                qFatal("the curve editor did not open");
            whenCurveDialogOpens(context, interact, attempts - 1);
            return;
        }
        if (!QTest::qWaitForWindowExposed(dialog))
            qFatal("the curve editor is not exposed");
        dialog->curveEditor()->plot()->replot(QCustomPlot::rpImmediateRefresh);
        interact(dialog);
    });
}

// Presses the preview, which opens the editor modally, lets go of the button
// once the editor is up, runs `interact` on it and returns when it has closed.
void editCurveThrough(CurveView *view, std::function<void(CurveEditorDialog *)> interact)
{
    const QPoint spot(60, 60);
    whenCurveDialogOpens(view, [view, spot, interact](CurveEditorDialog *dialog) {
        pointer::release(view->plot(), spot);
        interact(dialog);
    });
    pointer::press(view->plot(), spot);
}

void dragPoint(CurveEditorDialog *dialog, int index, QPoint by)
{
    CurveEditor *editor = dialog->curveEditor();
    const QPoint from = editor->marker(index)->tracer()->position->pixelPosition().toPoint() + QPoint(1, 1);
    pointer::drag(editor->plot(), from, from + by);
}

void pressButton(CurveEditorDialog *dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(which),
                      Qt::LeftButton);
}

} // namespace

class TestAxisEffectsWidget : public QObject
{
    Q_OBJECT

private slots:
    void layoutAndModels()
    {
        AxisEffectsWidget widget;
        auto *combo = widget.findChild<QComboBox *>(QStringLiteral("effects_combo"));
        auto *list = widget.findChild<QListView *>(QStringLiteral("active_effects_list"));
        auto *stack = widget.findChild<QStackedWidget *>(QStringLiteral("effect_stack"));
        QCOMPARE(combo->minimumWidth(), 600);
        QCOMPARE(combo->maxVisibleItems(), 20);
        QCOMPARE(combo->sizeAdjustPolicy(), QComboBox::AdjustToContents);
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(stack->frameShape(), QFrame::NoFrame);
        QCOMPARE(stack->count(), 16);
        QCOMPARE(stack->currentIndex(), AxisEffectsWidget::EmptyPage);
        QCOMPARE(stack->widget(15)->objectName(), QStringLiteral("page"));
        QVERIFY(stack->widget(15)->findChild<QLabel *>()->text() ==
                QStringLiteral("Select effect from the list."));
        QCOMPARE(widget.findChild<QPushButton *>(QStringLiteral("activate_effect_button"))->text(),
                 QStringLiteral("Add selected effect"));

        for (QAbstractItemModel *model : {combo->model(), list->model()}) {
            QCOMPARE(model->rowCount(), AxisEffectsWidget::EffectCount);
            for (int row = 0; row < AxisEffectsWidget::EffectCount; ++row)
                QCOMPARE(model->index(row, 0).data().toString(), kSelectorNames.at(row));
            for (int type = 0; type < AxisEffectsWidget::EffectCount; ++type)
                QCOMPARE(model->index(kRowOfType[type], 0).data(AxisEffectsWidget::EffectTypeRole).toInt(),
                         type);
        }

        // Page t holds the effect of type t: its label, and a remove button.
        const char *pages[] = {"natural_airflow",
                               "simple_spring",
                               "elevator_weight",
                               "direct_x",
                               "landing_jolt",
                               "aoa_shaker",
                               "extended_gear_shaker",
                               "extended_flaps_shaker",
                               "extended_airbrake_shaker",
                               "on_ground_rolling_shaker",
                               "il2_shaker",
                               "condor_shaker",
                               "smart_damper",
                               "g_force_spring",
                               "aoa_spring"};
        const char *buttons[] = {"natural_airflow_disable_button",
                                 "simple_spring_disable_button",
                                 "elevator_weight_disable_button",
                                 "direct_x_disable_button",
                                 "landing_jolt_disable_button",
                                 "aoa_shaker_disble_button",
                                 "extended_gear_shaker_disable_button",
                                 "extended_flaps_shaker_disable_button",
                                 "extended_airbrake_shaker_disable_button",
                                 "on_ground_rolling_shaker_disable_button",
                                 "il2_shaker_disable_button",
                                 "condor_shaker_disable_button",
                                 "smart_damper_disable_button",
                                 "g_force_spring_disable_button",
                                 "aoa_spring_disble_button"};
        for (int type = 0; type < AxisEffectsWidget::EffectCount; ++type) {
            const QString base = QString::fromLatin1(pages[type]);
            QWidget *page = stack->widget(type);
            QCOMPARE(page->objectName(), base + QStringLiteral("_page"));
            QCOMPARE(page->findChild<QLabel *>(base + QStringLiteral("_label"))->text(),
                     kSelectorNames.at(kRowOfType[type]));
            QVERIFY(page->findChild<EffectSettingsPanel *>(base + QStringLiteral("_widget")));
            auto *remove = page->findChild<QPushButton *>(QString::fromLatin1(buttons[type]));
            QVERIFY2(remove, buttons[type]);
            QCOMPARE(remove->text(), QStringLiteral("Remove effect"));
        }

        auto *gforce =
            widget.findChild<SimpleSpringSettingsWidget *>(QStringLiteral("g_force_spring_widget"));
        QCOMPARE(gforce->title(), QStringLiteral("Strength of spring (kg) depending on GForce (G)"));
        QCOMPARE(gforce->findChild<CurveView *>()->plot()->xAxis->label(), QStringLiteral("g force (G)"));
        QCOMPARE(widget.findChild<SimpleSpringSettingsWidget *>(QStringLiteral("aoa_spring_widget"))->title(),
                 QStringLiteral("Strength of spring (kg) depending on AoA (degrees)"));
    }

    void elevatorSelectorShowsThirteenRows()
    {
        Editor editor;
        QStringList expected = kSelectorNames;
        expected.removeAll(QStringLiteral("IL2 Sturmovik specific shaker"));
        expected.removeAll(QStringLiteral("Condor 2 specific shaker"));
        QCOMPARE(editor.selectorRows(), expected);
        QCOMPARE(editor.selectorRows().size(), 13);
        QCOMPARE(editor.combo()->currentIndex(), -1);
        QVERIFY(editor.listedEffects().isEmpty());
        QVERIFY(!editor.selectable(12));
        QVERIFY(editor.selectable(5));
    }

    void noElevatorWeightOnAileronsAndRudder()
    {
        AxisEffectsSettings axis;
        axis.reset();
        axis.elevator_weight = {true, 40.0f};
        axis.direct_x.active = true;
        AxisEffectsWidget widget;
        widget.setSettings(axis);
        QSignalSpy moderate(&widget, &AxisEffectsWidget::moderateSettingsChange);
        QSignalSpy sudden(&widget, &AxisEffectsWidget::suddenSettingsChange);
        widget.setEnabledEffects(withoutElevatorWeight());

        QCOMPARE(axis.elevator_weight.active, false);
        QCOMPARE(axis.elevator_weight.total_effect_strength, 0.0f);
        QVERIFY(axis.direct_x.active);
        QCOMPARE(moderate.size() + sudden.size(), 0);

        auto *combo = widget.findChild<QComboBox *>(QStringLiteral("effects_combo"));
        auto *popup = qobject_cast<QListView *>(combo->view());
        QVERIFY(popup->isRowHidden(5));
        QCOMPARE(combo->itemText(5), QStringLiteral("Elevator weight"));
        auto *list = widget.findChild<QListView *>(QStringLiteral("active_effects_list"));
        QVERIFY(list->isRowHidden(5));
        QVERIFY(!list->isRowHidden(0));

        // Even chosen by index, a disallowed effect is not added.
        combo->setCurrentIndex(5);
        QTest::mouseClick(widget.findChild<QPushButton *>(QStringLiteral("activate_effect_button")),
                          Qt::LeftButton);
        QVERIFY(!axis.elevator_weight.active);
    }

    void addingTheAoAShaker()
    {
        Editor editor;
        editor.axis.aoa_shaker.total_effect_strength = 55.0f; // left over from an earlier removal
        editor.axis.aoa_shaker.speed.max = 420.0f;
        QSignalSpy sudden(&editor.widget, &AxisEffectsWidget::suddenSettingsChange);
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);

        editor.add(EffectsProfile::EFFECT_TYPE_AOA_SHAKER);
        QCOMPARE(sudden.size(), 1);
        QCOMPARE(moderate.size(), 0);
        QVERIFY(editor.axis.aoa_shaker.active);
        QCOMPARE(editor.axis.aoa_shaker.total_effect_strength, 0.0f);
        QCOMPARE(editor.axis.aoa_shaker.speed.max, 420.0f);
        QVERIFY(!editor.selectable(8));
        QCOMPARE(editor.listedEffects(), QStringList{QStringLiteral("AoA shaker")});
        QCOMPARE(editor.list()->currentIndex().row(), 8);
        QCOMPARE(editor.page(), static_cast<int>(EffectsProfile::EFFECT_TYPE_AOA_SHAKER));
        QCOMPARE(editor.combo()->currentIndex(), -1);
        auto *strength = editor.child<QWidget>("aoa_shaker_widget")
                             ->findChild<QSpinBox *>(QStringLiteral("max_effect_strength_speed"));
        QCOMPARE(strength->value(), 420);
    }

    void addingWithNothingSelected()
    {
        Editor editor;
        editor.add(EffectsProfile::EFFECT_TYPE_DIRECT_X_FFB);
        const AxisEffectsSettings before = editor.axis;
        QCOMPARE(editor.combo()->currentIndex(), -1);
        QSignalSpy sudden(&editor.widget, &AxisEffectsWidget::suddenSettingsChange);
        QTest::mouseClick(editor.child<QPushButton>("activate_effect_button"), Qt::LeftButton);
        QCOMPARE(sudden.size(), 1);
        QVERIFY(editor.axis == before);
        QCOMPARE(editor.listedEffects(), QStringList{QStringLiteral("Standard FFB (DirectX)")});
    }

    void removingEffects()
    {
        Editor editor;
        editor.add(EffectsProfile::EFFECT_TYPE_SMART_DAMPER);
        editor.add(EffectsProfile::EFFECT_TYPE_EXTENDED_GEAR_SHAKER);
        editor.add(EffectsProfile::EFFECT_TYPE_SIMPLE_SPRING);
        editor.axis.gear_shaker.total_effect_strength = 70.0f;
        editor.axis.gear_shaker.speed.max = 321.0f;
        QCOMPARE(editor.listedEffects(),
                 (QStringList{QStringLiteral("Simple spring"), QStringLiteral("Extended gear shaker"),
                              QStringLiteral("Smart dampers")}));
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);

        // One of several: the first remaining list row takes over.
        QTest::mouseClick(editor.child<QPushButton>("simple_spring_disable_button"), Qt::LeftButton);
        QCOMPARE(moderate.size(), 1);
        QCOMPARE(editor.page(), static_cast<int>(EffectsProfile::EFFECT_TYPE_EXTENDED_GEAR_SHAKER));
        QCOMPARE(editor.list()->currentIndex().row(), 9);
        QVERIFY(editor.selectable(1));

        QTest::mouseClick(editor.child<QPushButton>("extended_gear_shaker_disable_button"), Qt::LeftButton);
        QVERIFY(!editor.axis.gear_shaker.active);
        QCOMPARE(editor.axis.gear_shaker.total_effect_strength, 0.0f);
        QCOMPARE(editor.axis.gear_shaker.speed.max, 321.0f);
        QCOMPARE(editor.page(), static_cast<int>(EffectsProfile::EFFECT_TYPE_SMART_DAMPER));

        // The only one left: the empty page.
        QTest::mouseClick(editor.child<QPushButton>("smart_damper_disable_button"), Qt::LeftButton);
        QCOMPARE(moderate.size(), 3);
        QCOMPARE(editor.page(), AxisEffectsWidget::EmptyPage);
        QVERIFY(editor.listedEffects().isEmpty());
    }

    void disallowedEffectLosesItsStrength()
    {
        Editor editor;
        editor.add(EffectsProfile::EFFECT_TYPE_DIRECT_X_FFB);
        editor.axis.direct_x.total_effect_strength = 80.0f;
        QSignalSpy sudden(&editor.widget, &AxisEffectsWidget::suddenSettingsChange);
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);

        QSet<int> msfs = elevatorSet();
        msfs.remove(EffectsProfile::EFFECT_TYPE_DIRECT_X_FFB);
        editor.widget.setEnabledEffects(msfs);
        QVERIFY(!editor.axis.direct_x.active);
        QCOMPARE(editor.axis.direct_x.total_effect_strength, 0.0f);
        QCOMPARE(editor.widget.enabledEffects(), msfs);

        editor.widget.setEnabledEffects(elevatorSet());
        QVERIFY(!editor.axis.direct_x.active);
        QCOMPARE(editor.axis.direct_x.total_effect_strength, 0.0f);
        QVERIFY(editor.selectable(0));
        QCOMPARE(sudden.size() + moderate.size(), 0);
    }

    void springsGetDefaultCurvesOnce()
    {
        AxisEffectsSettings axis;
        AxisEffectsWidget widget;
        widget.setSettings(axis);
        QVERIFY(!axis.simple_spring.curve.defined);
        widget.setEnabledEffects(elevatorSet());

        for (int i = 0; i < PointCurve::PointCount; ++i) {
            const auto step = static_cast<float>(i);
            const std::size_t at = static_cast<std::size_t>(i);
            QCOMPARE(axis.simple_spring.curve.points[at],
                     (CurvePoint{-100.0f + 20.0f * step, -100.0f + 20.0f * step}));
            QCOMPARE(axis.g_force_spring.curve.points[at],
                     (CurvePoint{-10.0f + 2.0f * step, -100.0f + 20.0f * step}));
            QCOMPARE(axis.aoa_spring.curve.points[at],
                     (CurvePoint{-90.0f + 18.0f * step, -100.0f + 20.0f * step}));
        }
        QVERIFY(axis.simple_spring.curve.defined && axis.g_force_spring.curve.defined &&
                axis.aoa_spring.curve.defined);

        // A defined curve is never replaced by the default, whatever its shape.
        axis.aoa_spring.curve.points[4].out = 7.0f;
        widget.refresh();
        QCOMPARE(axis.aoa_spring.curve.points[4].out, 7.0f);
    }

    void listClickShowsThePage()
    {
        Editor editor;
        editor.add(EffectsProfile::EFFECT_TYPE_LANDING_JOLT);
        editor.add(EffectsProfile::EFFECT_TYPE_NATURAL_AIRFLOW);
        editor.widget.resize(1000, 700);
        editor.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor.widget));
        QListView *list = editor.list();
        const QRect landing = list->visualRect(list->model()->index(6, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, landing.center());
        QCOMPARE(editor.page(), static_cast<int>(EffectsProfile::EFFECT_TYPE_LANDING_JOLT));
    }

    void panelEditsAreModerateChanges()
    {
        Editor editor;
        editor.add(EffectsProfile::EFFECT_TYPE_NATURAL_AIRFLOW);
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);
        editor.child<QWidget>("natural_airflow_widget")
            ->findChild<QSpinBox *>(QStringLiteral("thrust_force_spinner"))
            ->setValue(35);
        QCOMPARE(moderate.size(), 1);
        QCOMPARE(editor.axis.airflow_spring.thrust_force, 35.0f);

        // A profile loaded into the bound settings shows after a refresh.
        editor.axis.airflow_spring.thrust_force = 12.9f;
        editor.widget.setEnabledEffects(elevatorSet());
        QCOMPARE(editor.child<QWidget>("natural_airflow_widget")
                     ->findChild<QSpinBox *>(QStringLiteral("thrust_force_spinner"))
                     ->value(),
                 12);
        QCOMPARE(moderate.size(), 1);
    }

    void curveDialogCancelRestoresThePoints()
    {
        Editor editor;
        editor.add(EffectsProfile::EFFECT_TYPE_SIMPLE_SPRING);
        editor.widget.resize(1000, 700);
        editor.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor.widget));
        const PointCurve::Points original = pointsOf(editor.axis.simple_spring.curve);

        // What the output loop would see at each moderate change.
        QList<PointCurve::Points> sent;
        connect(&editor.widget, &AxisEffectsWidget::moderateSettingsChange, this,
                [&] { sent.append(pointsOf(editor.axis.simple_spring.curve)); });

        int dragSteps = 0;
        QString title;
        PointCurve::Points whileOpen{};
        CurveView *view = editor.child<QWidget>("simple_spring_widget")->findChild<CurveView *>();
        editCurveThrough(view, [&](CurveEditorDialog *dialog) {
            title = dialog->windowTitle();
            QSignalSpy steps(dialog, &CurveEditorDialog::curveChanged);
            dragPoint(dialog, 3, QPoint(10, -80));
            dragPoint(dialog, 8, QPoint(0, 60));
            dragSteps = static_cast<int>(steps.size());
            whileOpen = pointsOf(editor.axis.simple_spring.curve);
            pressButton(dialog, QDialogButtonBox::Cancel);
        });

        QCOMPARE(title, QStringLiteral("Strength of spring (kg) depending on control deflection (%)"));
        QVERIFY(dragSteps >= 2);
        QVERIFY(whileOpen != original);
        QCOMPARE(sent.size(), dragSteps + 1);
        QVERIFY(sent.first() != original);
        QVERIFY(sent.last() == original);
        QVERIFY(pointsOf(editor.axis.simple_spring.curve) == original);
        QVERIFY(editor.axis.simple_spring.curve.defined);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void curveDialogOkKeepsThePoints()
    {
        Editor editor;
        editor.add(EffectsProfile::EFFECT_TYPE_G_FORCE_SPRING);
        editor.widget.resize(1000, 700);
        editor.widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor.widget));
        const PointCurve::Points original = pointsOf(editor.axis.g_force_spring.curve);
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);

        int dragSteps = 0;
        QCPRange keys;
        CurveView *view = editor.child<QWidget>("g_force_spring_widget")->findChild<CurveView *>();
        editCurveThrough(view, [&](CurveEditorDialog *dialog) {
            keys = dialog->curveEditor()->plot()->xAxis->range();
            QSignalSpy steps(dialog, &CurveEditorDialog::curveChanged);
            dragPoint(dialog, 6, QPoint(-20, -50));
            dragSteps = static_cast<int>(steps.size());
            pressButton(dialog, QDialogButtonBox::Ok);
        });

        QCOMPARE(keys.lower, -10.0);
        QCOMPARE(keys.upper, 10.0);
        QVERIFY(dragSteps >= 1);
        QCOMPARE(moderate.size(), dragSteps);
        const PointCurve::Points edited = pointsOf(editor.axis.g_force_spring.curve);
        QVERIFY(edited != original);
        QVERIFY(edited[6].in < original[6].in);
        QVERIFY(edited[6].out > original[6].out);
        // The preview shows the edited curve.
        QCOMPARE(view->plot()->graph(0)->data()->at(6)->value, static_cast<double>(edited[6].out));
    }
};

QTEST_MAIN(TestAxisEffectsWidget)
#include "tst_axiseffectswidget.moc"
