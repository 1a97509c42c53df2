#include "axiseffectswidget.h"
#include "curveeditor.h"
#include "curveeditordialog.h"
#include "curveview.h"
#include "effectsprofile.h"
#include "qcustomplotmarker.h"
#include "uitestsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

using P = EffectsProfile;

// Effect ids allowed without a simulator; the ailerons and rudder get them without 2.
QSet<int> elevatorSet()
{
    return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14};
}

struct Editor
{
    Editor()
    {
        axis.reset();
        widget.setSettings(axis);
        widget.setEnabledEffects(elevatorSet());
    }

    template<typename T = QPushButton>
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
    int rowOf(int type) const { return combo()->findData(type, AxisEffectsWidget::EffectTypeRole); }
    bool selectable(int type) const
    {
        return combo()->model()->index(rowOf(type), 0).flags().testFlag(Qt::ItemIsEnabled);
    }

    // Effect types of the rows a list view shows: the selector's popup or the active list.
    QList<int> shownTypes(QListView *view) const
    {
        QList<int> types;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            if (!view->isRowHidden(row))
                types.append(view->model()->index(row, 0).data(AxisEffectsWidget::EffectTypeRole).toInt());
        }
        return types;
    }
    QList<int> selectorTypes() const { return shownTypes(qobject_cast<QListView *>(combo()->view())); }
    QList<int> listedTypes() const { return shownTypes(list()); }

    void add(int type)
    {
        combo()->setCurrentIndex(rowOf(type));
        QTest::mouseClick(child("activate_effect_button"), Qt::LeftButton);
    }

    void showWindow()
    {
        widget.resize(1000, 700);
        widget.show();
        if (!QTest::qWaitForWindowExposed(&widget))
            qFatal("editor window not exposed");
    }

    AxisEffectsSettings axis;
    AxisEffectsWidget widget;
};

// Presses the preview, which opens the curve editor modally. Once the editor
// is up (the press may reach the preview only after a zero timer), lets go of
// the button and runs `interact` on it; returns when the editor has closed.
void editCurveThrough(CurveView *view, const std::function<void(CurveEditorDialog *)> &interact)
{
    const QPoint spot(60, 60);
    auto *poll = new QTimer(view); // stopped for good once used
    QObject::connect(poll, &QTimer::timeout, view, [view, spot, poll, interact, attempts = 0]() mutable {
        auto *dialog = qobject_cast<CurveEditorDialog *>(QApplication::activeModalWidget());
        if (!dialog && ++attempts < 500)
            return;
        poll->stop();
        if (!dialog || !QTest::qWaitForWindowExposed(dialog))
            qFatal("the curve editor did not open");
        pointer::release(view->plot(), spot);
        dialog->curveEditor()->plot()->replot(QCustomPlot::rpImmediateRefresh);
        interact(dialog);
    });
    poll->start(10);
    pointer::press(view->plot(), spot);
}

void dragPoint(CurveEditorDialog *dialog, int index, QPoint by)
{
    CurveEditor *editor = dialog->curveEditor();
    const QPoint from = editor->marker(index)->tracer()->position->pixelPosition().toPoint() + QPoint(1, 1);
    pointer::drag(editor->plot(), from, from + by);
}

} // namespace

class TestAxisEffectsWidget : public QObject
{
    Q_OBJECT

private slots:
    void elevatorSelectorShowsThirteenRows()
    {
        Editor editor;
        QCOMPARE(editor.selectorTypes().size(), 13);
        for (int type : {P::EFFECT_TYPE_IL2_SHAKING, P::EFFECT_TYPE_CONDOR_SHAKER}) {
            QVERIFY(!editor.selectorTypes().contains(type));
            QVERIFY(!editor.selectable(type));
        }
        QCOMPARE(editor.combo()->currentIndex(), -1);
        QVERIFY(editor.listedTypes().isEmpty());
    }

    void disallowedEffectIsSwitchedOff()
    {
        // The ailerons and rudder have no elevator weight.
        Editor editor;
        editor.add(P::EFFECT_TYPE_ELEVATOR_WEIGHT);
        editor.add(P::EFFECT_TYPE_DIRECT_X_FFB);
        editor.axis.elevator_weight.total_effect_strength = 40.0f;
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);
        QSignalSpy sudden(&editor.widget, &AxisEffectsWidget::suddenSettingsChange);
        QSet<int> withoutWeight = elevatorSet();
        withoutWeight.remove(P::EFFECT_TYPE_ELEVATOR_WEIGHT);
        editor.widget.setEnabledEffects(withoutWeight);
        QCOMPARE(editor.axis.elevator_weight, (SimpleEffectSettings{false, 0.0f}));
        QVERIFY(!editor.selectorTypes().contains(P::EFFECT_TYPE_ELEVATOR_WEIGHT));
        QCOMPARE(editor.listedTypes(), QList<int>{P::EFFECT_TYPE_DIRECT_X_FFB});

        // Allowed again, it stays off.
        editor.widget.setEnabledEffects(elevatorSet());
        QCOMPARE(editor.axis.elevator_weight, (SimpleEffectSettings{false, 0.0f}));
        QCOMPARE(moderate.size() + sudden.size(), 0);

        // Even chosen by index, a disallowed effect is not added.
        editor.widget.setEnabledEffects(withoutWeight);
        editor.add(P::EFFECT_TYPE_ELEVATOR_WEIGHT);
        QVERIFY(!editor.axis.elevator_weight.active);
    }

    void adding()
    {
        Editor editor;
        editor.axis.aoa_shaker.total_effect_strength = 55.0f; // left over from an earlier removal
        editor.axis.aoa_shaker.speed.max = 420.0f;
        QSignalSpy sudden(&editor.widget, &AxisEffectsWidget::suddenSettingsChange);
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);

        editor.add(P::EFFECT_TYPE_AOA_SHAKER);
        QCOMPARE(sudden.size(), 1);
        QCOMPARE(moderate.size(), 0);
        QVERIFY(editor.axis.aoa_shaker.active);
        QCOMPARE(editor.axis.aoa_shaker.total_effect_strength, 0.0f);
        QCOMPARE(editor.axis.aoa_shaker.speed.max, 420.0f);
        QVERIFY(!editor.selectable(P::EFFECT_TYPE_AOA_SHAKER));
        QCOMPARE(editor.listedTypes(), QList<int>{P::EFFECT_TYPE_AOA_SHAKER});
        QCOMPARE(editor.page(), static_cast<int>(P::EFFECT_TYPE_AOA_SHAKER));
        auto *panel = editor.child<QWidget>("aoa_shaker_widget");
        QCOMPARE(panel->findChild<QSpinBox *>(QStringLiteral("max_effect_strength_speed"))->value(), 420);

        // With nothing selected the button changes nothing, but still reports.
        QCOMPARE(editor.combo()->currentIndex(), -1);
        const AxisEffectsSettings before = editor.axis;
        QTest::mouseClick(editor.child("activate_effect_button"), Qt::LeftButton);
        QCOMPARE(sudden.size(), 2);
        QVERIFY(editor.axis == before);
    }

    // Trim and autopilot following: last in the selector where allowed, on a
    // page of its own after the empty one (16), its panel writing its flags;
    // removed like any other.
    void trimFollowingPage()
    {
        Editor editor;
        QVERIFY(!editor.selectorTypes().contains(P::EFFECT_TYPE_TRIM_FOLLOWING)); // not in this set
        QSet<int> withTrim = elevatorSet();
        withTrim.insert(P::EFFECT_TYPE_TRIM_FOLLOWING);
        editor.widget.setEnabledEffects(withTrim);
        QCOMPARE(editor.selectorTypes().size(), 14);
        QCOMPARE(editor.selectorTypes().last(), static_cast<int>(P::EFFECT_TYPE_TRIM_FOLLOWING));
        QCOMPARE(editor.combo()->itemText(editor.rowOf(P::EFFECT_TYPE_TRIM_FOLLOWING)),
                 QStringLiteral("Trim and autopilot following"));
        QCOMPARE(editor.page(), 15); // "Select effect from the list."

        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);
        editor.add(P::EFFECT_TYPE_TRIM_FOLLOWING);
        QVERIFY(editor.axis.trim_following.active);
        QCOMPARE(editor.page(), 16);
        QCOMPARE(editor.child<QStackedWidget>("effect_stack")->currentWidget()->objectName(),
                 QStringLiteral("trim_following_page"));
        auto *panel = editor.child<QWidget>("trim_following_widget");
        panel->findChild<QSpinBox *>(QStringLiteral("total_effect_strength"))->setValue(40);
        panel->findChild<QCheckBox *>(QStringLiteral("autopilot"))->click();
        QCOMPARE(editor.axis.trim_following, (TrimFollowingSettings{{true, 40.0f}, true, false}));
        QCOMPARE(moderate.size(), 2);

        editor.child("trim_following_disable_button")->click();
        QVERIFY(!editor.axis.trim_following.active);
        QCOMPARE(editor.page(), 15);
        // Not allowed any more (another simulator's profile): switched off.
        editor.add(P::EFFECT_TYPE_TRIM_FOLLOWING);
        editor.widget.setEnabledEffects(elevatorSet());
        QVERIFY(!editor.axis.trim_following.active);
    }

    void removingEffects()
    {
        Editor editor;
        for (int type :
             {P::EFFECT_TYPE_SMART_DAMPER, P::EFFECT_TYPE_EXTENDED_GEAR_SHAKER, P::EFFECT_TYPE_SIMPLE_SPRING})
            editor.add(type);
        editor.axis.gear_shaker.total_effect_strength = 70.0f;
        editor.axis.gear_shaker.speed.max = 321.0f;
        QSignalSpy moderate(&editor.widget, &AxisEffectsWidget::moderateSettingsChange);
        // A click on a listed effect shows its page.
        editor.showWindow();
        QListView *list = editor.list();
        const QRect damper =
            list->visualRect(list->model()->index(editor.rowOf(P::EFFECT_TYPE_SMART_DAMPER), 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, damper.center());
        QCOMPARE(editor.page(), static_cast<int>(P::EFFECT_TYPE_SMART_DAMPER));

        // One of several: the first remaining list row takes over.
        editor.child("simple_spring_disable_button")->click();
        QCOMPARE(moderate.size(), 1);
        QCOMPARE(editor.listedTypes(),
                 (QList<int>{P::EFFECT_TYPE_EXTENDED_GEAR_SHAKER, P::EFFECT_TYPE_SMART_DAMPER}));
        QCOMPARE(editor.page(), static_cast<int>(P::EFFECT_TYPE_EXTENDED_GEAR_SHAKER));
        QCOMPARE(list->currentIndex().row(), editor.rowOf(P::EFFECT_TYPE_EXTENDED_GEAR_SHAKER));
        QVERIFY(editor.selectable(P::EFFECT_TYPE_SIMPLE_SPRING));

        editor.child("extended_gear_shaker_disable_button")->click();
        QCOMPARE(editor.axis.gear_shaker,
                 (GenericShakerSettings{{false, 0.0f}, {0.0f, 321.0f, 0.0f}, ExponentialRange()}));

        // The only one left: the empty page.
        editor.child("smart_damper_disable_button")->click();
        QCOMPARE(moderate.size(), 3);
        QCOMPARE(editor.page(), AxisEffectsWidget::EmptyPage);
        QVERIFY(editor.listedTypes().isEmpty());
    }

    void springsGetDefaultCurvesOnce()
    {
        // Straight from (-limit, -100) to (limit, 100).
        Editor editor;
        for (const auto &[spring, limit] :
             {std::pair{&editor.axis.simple_spring, 100.0f}, std::pair{&editor.axis.g_force_spring, 10.0f},
              std::pair{&editor.axis.aoa_spring, 90.0f}}) {
            QVERIFY(spring->curve.defined);
            QCOMPARE(spring->curve.points[0], (CurvePoint{-limit, -100.0f}));
            QCOMPARE(spring->curve.points[5], (CurvePoint{0.0f, 0.0f}));
            QCOMPARE(spring->curve.points[10], (CurvePoint{limit, 100.0f}));
        }
        // A defined curve is never replaced by the default, whatever its shape.
        editor.axis.aoa_spring.curve.points[4].out = 7.0f;
        editor.widget.refresh();
        QCOMPARE(editor.axis.aoa_spring.curve.points[4].out, 7.0f);
    }

    void curveDialog_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("button");
        QTest::addColumn<double>("keyLimit");
        QTest::newRow("Cancel restores the points")
            << int(P::EFFECT_TYPE_SIMPLE_SPRING) << int(QDialogButtonBox::Cancel) << 100.0;
        QTest::newRow("Ok keeps them")
            << int(P::EFFECT_TYPE_G_FORCE_SPRING) << int(QDialogButtonBox::Ok) << 10.0;
    }

    void curveDialog()
    {
        QFETCH(int, type);
        QFETCH(int, button);
        QFETCH(double, keyLimit);
        const bool cancel = button == QDialogButtonBox::Cancel;
        Editor editor;
        editor.add(type);
        editor.showWindow();
        PointCurve &curve = type == P::EFFECT_TYPE_SIMPLE_SPRING ? editor.axis.simple_spring.curve
                                                                 : editor.axis.g_force_spring.curve;
        const PointCurve::Points original = curve.points;

        // What the output loop would see at each moderate change.
        QList<PointCurve::Points> sent;
        connect(&editor.widget, &AxisEffectsWidget::moderateSettingsChange, this,
                [&] { sent.append(curve.points); });

        int dragSteps = 0;
        QCPRange keys;
        auto *view = editor.child<QStackedWidget>("effect_stack")->widget(type)->findChild<CurveView *>();
        editCurveThrough(view, [&](CurveEditorDialog *dialog) {
            keys = dialog->curveEditor()->plot()->xAxis->range();
            QSignalSpy steps(dialog, &CurveEditorDialog::curveChanged);
            dragPoint(dialog, 3, QPoint(10, -80));
            dragPoint(dialog, 8, QPoint(0, 60));
            dragSteps = static_cast<int>(steps.size());
            auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            QTest::mouseClick(buttons->button(QDialogButtonBox::StandardButton(button)), Qt::LeftButton);
        });

        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(keys.upper, keyLimit);
        QVERIFY(dragSteps >= 2);
        // Every drag step is a moderate change; Cancel adds one with the restored points.
        QCOMPARE(sent.size(), dragSteps + (cancel ? 1 : 0));
        QVERIFY(sent.first() != original);
        QCOMPARE(sent.last() == original, cancel);
        QCOMPARE(curve.points == original, cancel);
        QVERIFY(curve.defined);
        // The preview shows the curve as it ended.
        QCOMPARE(view->plot()->graph(0)->data()->at(8)->value, static_cast<double>(curve.points[8].out));
    }
};

QTEST_MAIN(TestAxisEffectsWidget)
#include "tst_axiseffectswidget.moc"
