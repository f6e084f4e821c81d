// The desktop wizard's entry point.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Quorvel Dravik for NTFS"));
    label.show();
    return QApplication::exec();
}
