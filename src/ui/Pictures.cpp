#include "Pictures.h"

#include <QImageReader>
#include <QString>

// The pictures are compiled into the windows' library; a static library's
// resources must be registered by name, from the global namespace.
static void InitPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace qarvel::ui {

void RegisterPictures() {
    static const bool registered = (InitPictures(), true);
    (void)registered;
}

const QImage& ProgramIcon() {
    static const QImage icon = [] {
        RegisterPictures();
        // The format is named and not guessed: guessing asks every image
        // plug-in whether it reads the file, and loads them all to do so.
        QImageReader reader(QStringLiteral(":/pictures/icon.png"), "png");
        reader.setAutoDetectImageFormat(false);
        return reader.read();
    }();
    return icon;
}

} // namespace qarvel::ui
