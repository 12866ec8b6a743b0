#include "dialogue/prompts.h"

#include "dialogue/contact_email.h"

namespace tolvane {
namespace {

// Windows-1252 letters. A hex escape swallows every hex digit after it, so a literal
// breaks after each one: "cr" E_ACUTE "e" is "crée".
#define E_ACUTE "\xE9"
#define E_GRAVE "\xE8"
#define E_CIRC "\xEA"
#define A_GRAVE "\xE0"
#define U_GRAVE "\xF9"

#define SIXTEEN_SPACES "                "

constexpr std::string_view kCaption = "Tolvane";
constexpr std::string_view kAboutCaption = "About Tolvane";

}  // namespace

constexpr std::array<Prompt, kPromptCount> kPrompts = {{
    {kCaption,
     "Programme cr" E_ACUTE E_ACUTE " par Quedrin (" TOLVANE_CONTACT_EMAIL ")\n \n"
     "Ce programme a pour but de limiter les probl" E_GRAVE "mes de retour sous windows de Morrowind.",
     PromptStyle::Ok},
    {kCaption,
     "Ce programme vas maintenant modifier votre fichier Morrowind.ini.\n"
     "Une copie de sauvegarde sera faite sous le nom de Morrowind.ini.old.\n"
     "En cas de probl" E_GRAVE "mes, supprimez le fichier Morrowind.ini et renommez le fichier "
     "Morrowind.ini.old.\n\nVoulez vous continuer ?",
     PromptStyle::YesNoWarning},
    {kCaption,
     "Le programme vas maintenant effectuer une copie de sauvegarde de votre fichier Morrowind.ini",
     PromptStyle::OkInformation},
    {kCaption,
     "La copie a " E_ACUTE "t" E_ACUTE " correctement effectu" E_ACUTE "e.\n"
     "Le programme vas maintenant modifier votre fichier Morrowind.ini",
     PromptStyle::OkInformation},
    {kCaption,
     "Souhaitez vous voir afficher le nombre de FPS (images par secondes) dans le coin "
     "inf" E_ACUTE "rieur droit de l'" E_ACUTE "cran ?",
     PromptStyle::YesNoQuestion},
    {kCaption, "Le fichier Morrowind.ini est mis " A_GRAVE " jour.", PromptStyle::OkInformation},
    {kCaption,
     "Aucune modification n'a " E_ACUTE "t" E_ACUTE " apport" E_GRAVE "e " A_GRAVE
     " votre fichier Morrowind.ini\nCliquez sur OK pour quitter.",
     PromptStyle::OkInformation},
    {kAboutCaption,
     "Merci d'avoir utilis" E_ACUTE " ce programme.\n"
     "Pour tout commentaire, je suis disponible " A_GRAVE " l'adresse " TOLVANE_CONTACT_EMAIL
     ".\n\n\nEnjoy The Game !!!\n\n\n" SIXTEEN_SPACES SIXTEEN_SPACES SIXTEEN_SPACES SIXTEEN_SPACES
     SIXTEEN_SPACES SIXTEEN_SPACES SIXTEEN_SPACES "Quedrin",
     PromptStyle::Ok},

    // When the change cannot be made safely, the player is told what happened and
    // whether Morrowind.ini was changed.
    {kCaption,
     "Le fichier Morrowind.ini est introuvable dans ce dossier.\n"
     "Lancez le programme depuis le dossier du jeu, l" A_GRAVE " o" U_GRAVE
     " se trouve Morrowind.ini.\n\nAucun fichier n'a " E_ACUTE "t" E_ACUTE " modifi" E_ACUTE ".",
     PromptStyle::OkError},
    {kCaption,
     "La copie de sauvegarde Morrowind.ini.old n'a pas pu " E_CIRC "tre faite.\n\n"
     "Votre fichier Morrowind.ini n'a pas " E_ACUTE "t" E_ACUTE " modifi" E_ACUTE ".",
     PromptStyle::OkError},
    {kCaption,
     "Le fichier Morrowind.ini n'a pas pu " E_CIRC "tre ouvert pour " E_CIRC "tre modifi" E_ACUTE
     ".\nIl est peut-" E_CIRC "tre en lecture seule ou utilis" E_ACUTE " par un autre programme."
     "\n\nVotre fichier Morrowind.ini n'a pas " E_ACUTE "t" E_ACUTE " modifi" E_ACUTE ".",
     PromptStyle::OkError},
    {kCaption,
     "L'" E_ACUTE "criture dans le fichier Morrowind.ini a " E_ACUTE "chou" E_ACUTE
     " (disque plein ?).\n\n"
     "Le fichier a " E_ACUTE "t" E_ACUTE " remis dans son " E_ACUTE "tat d'origine : "
     "votre fichier Morrowind.ini n'a pas " E_ACUTE "t" E_ACUTE " modifi" E_ACUTE ".",
     PromptStyle::OkError},
    {kCaption,
     "L'" E_ACUTE "criture dans le fichier Morrowind.ini a " E_ACUTE "chou" E_ACUTE
     " et le fichier n'a pas pu " E_CIRC "tre remis dans son " E_ACUTE "tat d'origine.\n\n"
     "Votre fichier Morrowind.ini est peut-" E_CIRC "tre incomplet. Supprimez le fichier "
     "Morrowind.ini et renommez le fichier Morrowind.ini.old.",
     PromptStyle::OkError},
    {kCaption,
     "Le fichier Morrowind.ini a " E_ACUTE "t" E_ACUTE " remplac" E_ACUTE " ou d" E_ACUTE
     "plac" E_ACUTE " par un autre programme pendant la modification.\n\n"
     "Votre fichier Morrowind.ini n'a pas " E_ACUTE "t" E_ACUTE " modifi" E_ACUTE ".",
     PromptStyle::OkError},
}};

namespace {

constexpr bool everyTextFits() {
    for (const Prompt& p : kPrompts)
        if (p.text.size() > kLongestPromptText || p.caption.size() > kLongestPromptText) return false;
    return true;
}
static_assert(everyTextFits());

}  // namespace
}  // namespace tolvane
