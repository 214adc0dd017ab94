#include "help/help_topics.h"

#include "app/version.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace help {

namespace {

// The texts are written here in UTF-8 and converted once when they are
// loaded; a letter that Windows-1250 lacks fails there, not on the screen.
constexpr const char* kTopicsUtf8[kHelpTopicCount] = {
    // 0: the program as a whole (the help button).
    "Tato aplikace na Mincar je schopna vést nejen domácí finance, ale i pokladní knihy "
    "(resp. livovolné množství pokladních knih) a to i v síťovém provozu.\r\n"
    "Záznamy deníku můžete vyhledávat a tisknout v přehledných knihách s vyznačenými "
    "zůstatky a ke každému řádku deníku lze vytisknout pokladní doklad. Program tak poslouží "
    "i k evidenci libovolného fondu, u kterého není třeba sledovat DPH, a to i ve firmách.\r\n"
    "\r\n"
    "Klepnete-li na kterékoli tlačítko v tomto okně, zobrazí se nápověda k téže funkci "
    "hlavního okna; samotná funkce se přitom nespustí.",

    // 1: restore from a backup.
    "Tato ikona otevře pomocí klasického dialogu windows zálohu dat, kterou si uživatel "
    "předtím vytvořil pomocí zálohy dat.\r\n"
    "Obsah zálohy nahradí všechna data deníku, číselníku knih i číselníku pohybů. Pokud se "
    "stejnou evidencí právě pracuje po síti jiný uživatel, nelze obnovu ze zálohy zahájit, "
    "dokud tento uživatel program neukončí.",

    // 2: save a backup.
    "Tato ikona umožní vytvořit záložní kopii dat právě rozpracované evidence do souboru na "
    "pevném disku.\r\n"
    "Zálohu doporučujeme vytvářet alespoň jednou denně, vždy před ukončením práce. Program "
    "nabídne složku data a název souboru s dnešním datem, například zaloha_7_12_2026.txu.\r\n"
    "Při prvním spuštění každého dne program navíc sám uloží denní zálohu do složky "
    "data/zalohy pod názvem s datem, například zaloha_2026-12-07.txu, a ponechá posledních 30 "
    "denních záloh; starší odstraní. Stavový řádek oznámí, kam zálohu uložil, nebo proč ji "
    "uložit nešlo; program přitom běží dál. Kde se program nespouští každý den, uloží tutéž "
    "zálohu příkaz „mincar-cli backup --daily“, například z plánovače cron.",

    // 3: new row.
    "Tato funkce přidá nový záznam na konec deníku, přidělí mu o jedničku vyšší číslo, než je "
    "nejvyšší hodnota v celém seznamu, přidělí druh pohybu, který je právě nalistován "
    "v číselníku pohybů.\r\n"
    "Pokud jste číselník pohybů dosud neotevřeli, dostane nový záznam číslo prvního pohybu "
    "v číselníku. Stejně se přiděluje i číslo knihy podle číselníku knih. Pohyb i knihu můžete "
    "později změnit; podle nich se také tisknou jednotlivé knihy. Nový záznam dostane datum "
    "nastavené v kalendáři a do jeho textu se zapíše název pohybu.\r\n"
    "Jeden řádek může nést příjem i výdaj zároveň, například nákup zboží a současně vrácenou "
    "zálohu na obaly.\r\n"
    "\r\n"
    "Doporučujeme proto nejprve otevřít číselníky a kalendář a klepnout v nich na hodnoty, "
    "které má nový řádek dostat.",

    // 4: delete row.
    "Tato funkce smaže právě označený záznam v deníku... !!! pozor !!! nevaruje a smazání "
    "proběhne velmi rychle... pokud s tímto záznamem pracuje jiný uživatel po síti je smazání "
    "tohoto záznamu zablokováno.",

    // 5: movements list.
    "Toto tlačítko otevře dialog s číselníkem pohybů.\r\n"
    "Číselník zůstává nad ostatními okny a umožňuje měnit druh pohybu u řádků deníku. "
    "Má čtyři tlačítka:\r\n"
    "1. První přidá nový pohyb na konec číselníku a přidělí mu o jedničku vyšší číslo, než je "
    "nejvyšší číslo v číselníku. Číslo lze změnit, jakmile však deník pohyb používá, "
    "nedoporučujeme to.\r\n"
    "2. Druhé okamžitě smaže označený pohyb, bez varování a bez kontroly, zda jej deník "
    "používá. Stane-li se to omylem, vraťte jej čtvrtým tlačítkem.\r\n"
    "3. Třetí tlačítko (zelená fajfka) přidělí označený pohyb řádku, který je vybrán v hlavním "
    "okně.\r\n"
    "4. Čtvrté tlačítko (koš) otevře okno se smazanými pohyby; tlačítko Obnovit v něm vrátí "
    "vybraný pohyb na jeho místo i s jeho číslem.",

    // 6: books list.
    "Toto tlačítko otevře dialog s číselníkem knih.\r\n"
    "Knihou může být pokladna, bankovní účet a podobně. Číselník zůstává nad ostatními okny "
    "a má čtyři tlačítka:\r\n"
    "1. První přidá novou knihu na konec číselníku a přidělí jí o jedničku vyšší číslo, než je "
    "nejvyšší číslo v číselníku.\r\n"
    "2. Druhé okamžitě smaže označenou knihu, bez varování a bez kontroly, zda ji deník "
    "používá.\r\n"
    "3. Třetí tlačítko (zelená fajfka) přidělí označenou knihu řádku, který je vybrán v hlavním "
    "okně.\r\n"
    "4. Čtvrté tlačítko (koš) otevře okno se smazanými knihami; tlačítko Obnovit v něm vrátí "
    "vybranou knihu na její místo i s jejím číslem.\r\n"
    "Konečné zůstatky jednotlivých knih přepočítáte tlačítkem se třemi žlutými sloupci "
    "v hlavním okně.",

    // 7: calendar.
    "Toto tlačítko otevře dialog s přehledným měsíčním kalendářem ... datum, které v tomto "
    "dialogu nakliknete bude přidělováno novým záznamům.\r\n"
    "Chcete-li změnit datum staršího záznamu, vyberte jej v hlavním okně, v kalendáři "
    "klepněte na požadovaný den a stiskněte zelené tlačítko [OK]; datum se zapíše do "
    "vybraného řádku.",

    // 8: recompute balances. The quoted beginning opens a parenthesis that
    // it never closes; the text closes it right after.
    "Přepočte zůstatky u jednotlivých řádků deníku a v číselníku knih (resp. zůstatky jsou "
    "přepočítávány až po stisku tohoto tlačítka.)\r\n"
    "Zůstatek každého řádku se počítá v rámci jeho vlastní knihy.\r\n"
    "Stejné tlačítko najdete i v dialogu pro tisk pokladní knihy. Tam přepočítá zůstatky "
    "všech zobrazených řádků tak, aby na sebe navazovaly; tento dialog umí záznamy "
    "filtrovat podle pohybů, knih, data a textu v popisu řádků.",

    // 9: voucher. The browser is whatever the configuration dialog names.
    "Toto tlačítko spustí dialog pro tisk pokladního dokladu, na řádek, který je právě vybrán "
    "v datové mřížce.\r\n"
    "Dialog zobrazí všechny údaje řádku a vše, co musí pokladní doklad obsahovat. Název firmy, "
    "jméno pokladníka, který doklad vystavil, a jméno osoby, která částku převzala, můžete "
    "změnit; "
    "program si je zapamatuje i pro příští spuštění.\r\n"
    "Tisk zahájíte tlačítkem s tiskárnou v pravém dolním rohu dialogu. Doklad se otevře "
    "v externím webovém prohlížeči: přednastavený příkaz „xdg-open“ jej zobrazí ve výchozím "
    "prohlížeči vašeho pracovního prostředí. Jiný prohlížeč nastavíte v konfiguračním "
    "dialogu (nabídka Soubor – Konfigurace nebo tlačítko s ozubeným kolem).\r\n"
    "V prohlížeči doklad vytisknete klávesami [Ctrl]+[P]; prohlížeč také umí změnit velikost "
    "písma nebo doklad odeslat elektronickou poštou.",

    // 10: cash-book search and report.
    "Dialog, který se objeví po stisku tohoto tlačítka můžete využít dvěma způsoby:\r\n"
    "\r\n"
    "1. Vyhledávání a oprava záznamů. Kritéria v polích Od, Do, Filter, Kniha a Pohyb lze "
    "libovolně kombinovat. Jakmile zaškrtnete políčko u některého kritéria nebo napíšete do "
    "pole Filter jakýkoli znak, ukáže hlavní okno jen ty řádky deníku, které všem zvoleným "
    "kritériím vyhovují, a v nich můžete záznamy rovnou opravit. Zaškrtnete-li políčko Kniha "
    "nebo Pohyb, otevře se číselník knih, resp. pohybů, a zobrazí se jen řádky s knihou či "
    "pohybem, který je v číselníku právě označen. Například nákupy pohonných "
    "hmot od února najdete tak, že nastavíte datum Od na 1. února, zaškrtnete políčko vedle "
    "něj a do pole Filter napíšete slovo benzín. Máte-li pro tyto nákupy zvláštní pohyb, "
    "stačí jej označit v číselníku pohybů a zaškrtnout políčko Pohyb. Tlačítko pro přepočet v tomto dialogu "
    "pak zobrazené řádky sečte do sloupce zůstatků. Když všechna políčka zrušíte a pole "
    "Filter vymažete, ukáže hlavní okno opět celý deník. Datum Od i datum Do si program "
    "zapamatuje i pro příští spuštění.\r\n"
    "\r\n"
    "2. Tisk knihy. Tisk zahájíte tlačítkem s tiskárnou v pravém dolním rohu dialogu; dál se "
    "postupuje stejně jako u pokladního dokladu. Před tiskem nejprve přepočtěte zůstatky "
    "tlačítkem se třemi sloupci v pravém horním rohu, protože vyfiltrované řádky na sebe "
    "nemusí navazovat.\r\n"
    "\r\n"
    "Pole Poč.stav určuje počáteční zůstatek, od kterého přepočet i tištěná kniha začínají. "
    "U vyfiltrovaných záznamů se obvykle těžko zjišťuje, pole však dobře poslouží ke "
    "sledování rozpočtu: vyfiltrujte jeden druh výdajů, jako počáteční stav zadejte částku, "
    "kterou na ně chcete vynaložit, přepočtěte zůstatky a sledujte, jak se rozpočet "
    "postupně čerpá. Zbývá-li u posledního řádku kladný zůstatek, do rozpočtu se vejdete.\r\n"
    "\r\n"
    "Zobrazené řádky lze dále shrnout a vyvézt:\r\n"
    "\r\n"
    "3. Přehled. Tlačítko s koláčovým grafem v tomto dialogu nebo příkaz Přehled v nabídce "
    "Tisky sečte zobrazené řádky podle pohybů a měsíců, příjmy a výdaje zvlášť, s celkovými "
    "součty a se zůstatkem každé knihy ke konci měsíce, a připojí grafy: příjmy a výdaje po "
    "měsících, podíl pohybů na výdajích a vývoj zůstatků knih. Přehled se otevře v prohlížeči "
    "stejně jako tištěná kniha a jeho součty se s ní přesně shodují. Zůstatek knihy zahrnuje "
    "všechny její záznamy až do konce měsíce, i ty, které kritéria skrývají. Pokrývají-li "
    "zobrazené řádky více než tři roky, ukáže přehled místo měsíců celé roky.\r\n"
    "\r\n"
    "4. Export do CSV... Tlačítko s tabulkou a šipkou uloží zobrazené řádky do souboru, který "
    "otevře tabulkový procesor, například pro roční vyúčtování spolku. Název souboru zvolíte "
    "v dialogu pro uložení. Každý řádek nese číslo, datum, knihu a pohyb i s jejich názvy, "
    "text, příjem, výdaj a zůstatek; data a částky jsou zapsány tak, jak je čte česká "
    "tabulka, texty přesně tak, jak jsou uloženy.",

    // 11: configuration. Clearing both fields works because an empty
    // setting is written as a blank and the defaults win over short values
    // at the next start.
    "Toto tlačítko spustí konfigurační dialog pro nastavení internetového prohlížeče, který "
    "zprostředkovává tisk dokladů a knih.\r\n"
    "Přednastaven je příkaz „xdg-open“, který stránku otevře ve výchozím prohlížeči vašeho "
    "pracovního prostředí. Můžete zvolit i jiný prohlížeč nebo jakýkoli nástroj, který umí "
    "tisknout stránky HTML. Dialog otevřete také z nabídky Soubor – Konfigurace.\r\n"
    "První řádek dialogu obsahuje příkaz, kterým se prohlížeč spouští: název programu nebo "
    "celou cestu k němu. Druhý řádek obsahuje označení, podle kterého "
    "prohlížeč pozná, že jde o soubor na pevném disku, a ne na internetu; přednastaveno je "
    "„File://“. Změny platí od příštího tisku a program si je pamatuje i po novém "
    "spuštění.\r\n"
    "\r\n"
    "Chybné hodnoty znemožní veškerý tisk. V takovém případě obě pole vymažte, program "
    "ukončete a znovu spusťte: do polí se opět doplní přednastavené hodnoty.",

    // 12: quit.
    "Toto tlačítko ukončí běh této aplikace ...",

    // 13: import a bank statement.
    "Tato ikona přidá do deníku pohyby z bankovního výpisu, který si stáhnete "
    "z internetového bankovnictví ve formátu GPC (ABO) nebo CSV.\r\n"
    "Po výběru souboru se zobrazí náhled. Zvolte v něm knihu, do které výpis patří, a druh "
    "pohybu. U každého pohybu náhled ukáže, zda se přidá, nebo zda už v knize je (se stejným "
    "datem, částkou a textem); takový pohyb se podruhé nepřidá, a tak lze načíst i výpis, "
    "který se s předchozím překrývá.\r\n"
    "Nový řádek dostane datum pohybu, příjem nebo výdaj a text složený z názvu protiúčtu, "
    "zprávy pro příjemce a variabilního symbolu; číslo dostane stejně jako každý nový "
    "řádek.\r\n"
    "Nelze-li v souboru přečíst jediný řádek, nepřidá se nic a program oznámí soubor, řádek "
    "a pole s chybou. Nepozná-li v souboru CSV sloupce podle jejich názvů, zeptá se, který "
    "sloupec je který.\r\n"
    "\r\n"
    "Po importu přepočítejte zůstatky. U výpisu GPC uvede program v řádku stavu počáteční "
    "a konečný zůstatek výpisu, takže zůstatek knihy můžete porovnat s bankou.",

    // 14: the deleted rows' window and Ctrl+Z (F1 in that window).
    "Okno Smazané záznamy (nabídka Soubor – Smazané záznamy) ukáže smazané řádky deníku, "
    "nejnovější nahoře, se všemi jejich údaji a s číslem záznamu v tabulce.\r\n"
    "Smazaný řádek zůstává v tabulce, jen označený jako smazaný, dokud data nenahradí obnova "
    "ze zálohy. Tlačítko Obnovit vrátí vybraný řádek na jeho původní místo v deníku, s jeho "
    "hodnotami i číslem. Dostal-li mezitím stejné číslo jiný řádek, dostane vrácený řádek nové "
    "číslo, o jedničku vyšší než nejvyšší v deníku, a stavový řádek oznámí které. Zůstatky se "
    "přitom nepřepočítají, stejně jako po smazání: přepočtěte je tlačítkem se třemi žlutými "
    "sloupci.\r\n"
    "Klávesy [Ctrl]+[Z] v hlavním okně vrátí řádek, který jste v něm smazali naposledy, další "
    "stisk ten před ním. Píšete-li právě do políčka, vrátí [Ctrl]+[Z] nejprve to, co jste do "
    "něj napsali.\r\n"
    "Stejné okno mají číselník knih a číselník pohybů (jejich čtvrté tlačítko, koš). S řádkem, "
    "se kterým právě pracuje jiný uživatel po síti, nelze pracovat ani zde: jeho vrácení je "
    "zablokováno.",
};

constexpr const char* kAboutUtf8 =
    "Mincar %s\r\n"
    "Domácí finance a pokladní knihy\r\n"
    "\r\n"
    "Mincar vede deník příjmů a výdajů v libovolném počtu knih, číselníky knih a pohybů, "
    "tiskne pokladní doklady a pokladní knihy a ukládá zálohy dat do textových souborů. "
    "Data jsou v tabulkách dBASE ve složce data a může s nimi pracovat i více uživatelů "
    "najednou.\r\n"
    "\r\n"
    "Šířeno pod licencí GNU GPL verze 3 nebo novější, bez jakékoli záruky.";

}  // namespace

std::array<std::string, kHelpTopicCount> helpTopicTexts() {
  std::array<std::string, kHelpTopicCount> topics;
  for (int i = 0; i < kHelpTopicCount; ++i) topics[i] = text::toCp1250(kTopicsUtf8[i]);
  return topics;
}

std::string aboutText() {
  return text::toCp1250(mincar::fill(kAboutUtf8, {std::string(app::kVersion)}));
}

}  // namespace help
