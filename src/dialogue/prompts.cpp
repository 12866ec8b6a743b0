#include "dialogue/prompts.h"

#include "dialogue/contact_email.h"
#include "platform/cp1252.h"

namespace tolvane {
namespace {

constexpr std::string_view kCaption = "Tolvane";
constexpr std::string_view kAboutCaption = "About Tolvane";

constexpr auto kIntro = toCp1252(
    "Programme créé par Quedrin (" TOLVANE_CONTACT_EMAIL ")\n \n"
    "Ce programme a pour but de limiter les problèmes de retour sous windows de Morrowind.");
constexpr auto kConfirm = toCp1252(
    "Ce programme vas maintenant modifier votre fichier Morrowind.ini.\n"
    "Une copie de sauvegarde sera faite sous le nom de Morrowind.ini.old.\n"
    "En cas de problèmes, supprimez le fichier Morrowind.ini et renommez le fichier Morrowind.ini.old.\n"
    "\n"
    "Voulez vous continuer ?");
constexpr auto kBackupNotice = toCp1252(
    "Le programme vas maintenant effectuer une copie de sauvegarde de votre fichier Morrowind.ini");
constexpr auto kBackupDone = toCp1252(
    "La copie a été correctement effectuée.\n"
    "Le programme vas maintenant modifier votre fichier Morrowind.ini");
constexpr auto kFpsCounter = toCp1252(
    "Souhaitez vous voir afficher le nombre de FPS (images par secondes) dans le coin inférieur "
    "droit de l'écran ?");
constexpr auto kUpdated = toCp1252("Le fichier Morrowind.ini est mis à jour.");
constexpr auto kNoChange = toCp1252(
    "Aucune modification n'a été apportèe à votre fichier Morrowind.ini\n"
    "Cliquez sur OK pour quitter.");
// The last line is a signature: 112 spaces put the name at a message box's right edge.
constexpr auto kAbout = toCp1252(
    "Merci d'avoir utilisé ce programme.\n"
    "Pour tout commentaire, je suis disponible à l'adresse " TOLVANE_CONTACT_EMAIL ".\n"
    "\n\n"
    "Enjoy The Game !!!\n"
    "\n\n"
    "                                                        "
    "                                                        "
    "Quedrin");

// When the change cannot be made safely, the player is told what happened and whether
// Morrowind.ini was changed.
constexpr auto kIniMissing = toCp1252(
    "Le fichier Morrowind.ini est introuvable dans ce dossier.\n"
    "Lancez le programme depuis le dossier du jeu, là où se trouve Morrowind.ini.\n"
    "\n"
    "Aucun fichier n'a été modifié.");
constexpr auto kBackupFailed = toCp1252(
    "La copie de sauvegarde Morrowind.ini.old n'a pas pu être faite.\n"
    "\n"
    "Votre fichier Morrowind.ini n'a pas été modifié.");
constexpr auto kOpenFailed = toCp1252(
    "Le fichier Morrowind.ini n'a pas pu être ouvert en écriture.\n"
    "Il est peut-être en lecture seule ou utilisé par un autre programme.\n"
    "\n"
    "Votre fichier Morrowind.ini n'a pas été modifié.");
constexpr auto kRolledBack = toCp1252(
    "L'écriture dans le fichier Morrowind.ini a échoué (disque plein ?).\n"
    "\n"
    "Il a été remis dans son état d'origine : votre fichier Morrowind.ini n'a pas été modifié.");
constexpr auto kRestoreNeeded = toCp1252(
    "L'écriture dans le fichier Morrowind.ini a échoué et le fichier n'a pas pu être remis dans son "
    "état d'origine.\n"
    "\n"
    "Votre fichier Morrowind.ini est peut-être endommagé. Supprimez-le, puis renommez "
    "Morrowind.ini.old en Morrowind.ini.");
constexpr auto kIniReplaced = toCp1252(
    "Le fichier Morrowind.ini a été remplacé ou déplacé par un autre programme pendant que le "
    "programme attendait votre réponse.\n"
    "\n"
    "Votre fichier Morrowind.ini n'a pas été modifié.");

constexpr auto kElevated = toCp1252(
    "Le programme a été lancé en tant qu'administrateur, mais le jeu lit une autre copie de "
    "Morrowind.ini.\n"
    "Relancez-le sans « Exécuter en tant qu'administrateur ».\n"
    "\n"
    "Aucun fichier n'a été modifié.");

}  // namespace

constexpr std::array<PromptEntry, kPromptCount> kPrompts = {{
    {PromptId::IntroPrompt, {kCaption, kIntro.view(), PromptStyle::Ok}},
    {PromptId::ConfirmPrompt, {kCaption, kConfirm.view(), PromptStyle::YesNoWarning}},
    {PromptId::BackupNoticePrompt, {kCaption, kBackupNotice.view(), PromptStyle::OkInformation}},
    {PromptId::BackupDonePrompt, {kCaption, kBackupDone.view(), PromptStyle::OkInformation}},
    {PromptId::FpsCounterPrompt, {kCaption, kFpsCounter.view(), PromptStyle::YesNoQuestion}},
    {PromptId::UpdatedPrompt, {kCaption, kUpdated.view(), PromptStyle::OkInformation}},
    {PromptId::NoChangePrompt, {kCaption, kNoChange.view(), PromptStyle::OkInformation}},
    {PromptId::AboutPrompt, {kAboutCaption, kAbout.view(), PromptStyle::Ok}},
    {PromptId::IniMissingPrompt, {kCaption, kIniMissing.view(), PromptStyle::OkError}},
    {PromptId::BackupFailedPrompt, {kCaption, kBackupFailed.view(), PromptStyle::OkError}},
    {PromptId::OpenFailedPrompt, {kCaption, kOpenFailed.view(), PromptStyle::OkError}},
    {PromptId::RolledBackPrompt, {kCaption, kRolledBack.view(), PromptStyle::OkError}},
    {PromptId::RestoreNeededPrompt, {kCaption, kRestoreNeeded.view(), PromptStyle::OkError}},
    {PromptId::IniReplacedPrompt, {kCaption, kIniReplaced.view(), PromptStyle::OkError}},
    {PromptId::ElevatedPrompt, {kCaption, kElevated.view(), PromptStyle::OkError}},
}};

namespace {

// prompt(id) reads the table by position.
constexpr bool everyEntryStandsAtItsId() {
    for (std::size_t i = 0; i < kPromptCount; ++i)
        if (kPrompts[i].id != static_cast<PromptId>(i)) return false;
    return true;
}
static_assert(everyEntryStandsAtItsId(), "the table's entries must follow PromptId's order");

constexpr bool everyTextFits() {
    for (const PromptEntry& entry : kPrompts)
        if (entry.prompt.text.size() > kLongestPromptText || entry.prompt.caption.size() > kLongestPromptText)
            return false;
    return true;
}
static_assert(everyTextFits());

}  // namespace
}  // namespace tolvane
