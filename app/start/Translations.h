#pragma once
// Qt's own Japanese texts (はい, いいえ, キャンセル, the file and colour dialogs…), so that
// every standard box of the program speaks the language of its own messages.
class QCoreApplication;
class QTranslator;

namespace miretoka {

// Loads qtbase_ja from Qt's translations folder into `app`. Returns the translator (owned
// by `app`), or nullptr when the translations are not installed: the program then goes on
// with Qt's English button texts.
QTranslator *InstallQtTranslations(QCoreApplication &app);

}  // namespace miretoka
