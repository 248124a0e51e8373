#include "app/start/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace miretoka {

QTranslator *InstallQtTranslations(QCoreApplication &app) {
  auto *translator = new QTranslator(&app);
  if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return nullptr;
  }
  app.installTranslator(translator);
  return translator;
}

}  // namespace miretoka
