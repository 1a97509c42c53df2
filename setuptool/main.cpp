#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrox-setup"));
    QApplication::setApplicationVersion(QStringLiteral(KESTROX_RELEASE));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Kestrox Setup"));
    auto *label = new QLabel(QStringLiteral("No compatible devices connected"), &window);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(360, 120);
    window.setCentralWidget(label);
    window.show();
    return app.exec();
}
