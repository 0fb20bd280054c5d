#include "BuiltInImages.h"

#include <QFile>
#include <QString>
#include <QtGlobal>

// The resources live in this static library; naming their initialiser makes the linker keep them.
static void InitLoaderImageResources() {
    Q_INIT_RESOURCE(loaderimages);
}

namespace builtinimages {

loaderimage::LoaderImage Load(const std::string &name) {
    static const bool initialised = (InitLoaderImageResources(), true);
    (void)initialised;
    const std::string what = "Built-in loader image " + name;
    QFile file(QStringLiteral(":/BIN/") + QString::fromStdString(name));
    if (!file.open(QIODevice::ReadOnly)) {
        loaderimage::LoaderImage missing;
        missing.problem = what + " is missing";
        return missing;
    }
    const QByteArray text = file.readAll();
    return loaderimage::ParseImageText(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())), Capacity, what);
}

} // namespace builtinimages
