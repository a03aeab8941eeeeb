<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>CAB</name>
    <message>
        <source>Arg value too small,</source>
        <translation>Valeur d&apos;argument trop petite,</translation>
    </message>
    <message>
        <source>Arg value too large,</source>
        <translation>Valeur d&apos;argument trop grande,</translation>
    </message>
    <message>
        <source>Arg length too small,</source>
        <translation>Longueur d&apos;argument trop petite,</translation>
    </message>
    <message>
        <source>Arg length too large,</source>
        <translation>Longueur d&apos;argument trop grande,</translation>
    </message>
    <message>
        <source>Too many arguments invalid argument,</source>
        <translation>Trop d&apos;arguments, argument invalide,</translation>
    </message>
    <message>
        <source>List forbidden invalid argument,</source>
        <translation>Liste interdite, argument invalide,</translation>
    </message>
    <message>
        <source>Unknown option,</source>
        <translation>Option inconnue,</translation>
    </message>
    <message>
        <source>Invalid character following option,</source>
        <translation>Caractère invalide après l&apos;option,</translation>
    </message>
    <message>
        <source>An option can&apos;t be used twice,</source>
        <translation>Une option ne peut pas être utilisée deux fois,</translation>
    </message>
    <message>
        <source>Mandatory argument for this option,</source>
        <translation>Argument obligatoire pour cette option,</translation>
    </message>
    <message>
        <source>No argument for this option,</source>
        <translation>Pas d&apos;argument pour cette option,</translation>
    </message>
    <message>
        <source>List forbidden invalid option,</source>
        <translation>Liste interdite, option invalide,</translation>
    </message>
    <message>
        <source>Argument missing,</source>
        <translation>Argument manquant,</translation>
    </message>
    <message>
        <source>Ambiguous option,</source>
        <translation>Option ambiguë,</translation>
    </message>
    <message>
        <source>Unknown value of option,</source>
        <translation>Valeur d&apos;option inconnue,</translation>
    </message>
    <message>
        <source>Ambiguous value of option,</source>
        <translation>Valeur d&apos;option ambiguë,</translation>
    </message>
    <message>
        <source>Illegal combination of command elements,</source>
        <translation>Combinaison illégale d&apos;éléments de commande,</translation>
    </message>
    <message>
        <source>File not found</source>
        <translation>Fichier introuvable</translation>
    </message>
    <message>
        <source>Command analysis: No memory left</source>
        <translation>Analyse de commande : plus de mémoire disponible</translation>
    </message>
    <message>
        <source>Command analysis</source>
        <translation>Analyse de commande</translation>
    </message>
    <message>
        <source>Internal error, bad option name</source>
        <translation>Erreur interne, nom d&apos;option incorrect</translation>
    </message>
    <message>
        <source>ProbaX</source>
        <translation>ProbaX</translation>
    </message>
</context>
<context>
    <name>Command-line</name>
    <message>
        <source>
Usage ortekstart:
	&lt;tested_file&gt;
	&lt;generated_file&gt;
	[-LANGUAGE=&lt;language_name&gt;]
	[-INTEGRATE=&lt;integrated_file&gt;[,integrated_file]]
	[-SIMULATE=&lt;simulated_file&gt;[,simulated_file]]
	[-INSERT]
	[-USE=&lt;used_file&gt;[,used_file]]
	[-INCL=&lt;directory&gt;[,directory]]
	[-DEFINE=&lt;identifier&gt;[,identifier]]
	[-STD_DEFINE=&lt;define_file&gt;]
	[-ADALINK=&lt;ada_link_file&gt;]
	[-NOPATH]
	[-SYMBTAB=&lt;symbtab_file&gt;]
	[-PREPRO_ONLY]
	[-RESTRICTION=&lt;NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP&gt;[=NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP]]
	[-STANDARD=&lt;ada_standard_file&gt;]
	[-CLASS=&lt;class_name&gt;]
	[-SERVICE=&lt;service_name&gt;]
	[-DEPFILE=&lt;dependency_file&gt;]
	[-HELP]
</source>
        <translation>
Usage ortekstart:
	&lt;fichier_teste&gt;
	&lt;fichier_genere&gt;
	[-LANGAGE=&lt;nom_langage&gt;]
	[-INTEGRE=&lt;fichier_integre&gt;[,fichier_integre]]
	[-SIMULE=&lt;fichier_simule&gt;[,fichier_simule]]
	[-INSERE]
	[-UTILISE=&lt;fichier_utilise&gt;[,fichier_utilise]]
	[-INCL=&lt;repertoire&gt;[,repertoire]]
	[-DEFINIR=&lt;identificateur&gt;[,identificateur]]
	[-DEFINE_STD=&lt;fichier_define&gt;]
	[-ADALIEN=&lt;fichier_lien_ada&gt;]
	[-NOPATH]
	[-TABSYMB=&lt;fichier_tabsymb&gt;]
	[-PREPRO_SEUL]
	[-RESTRICTION=&lt;NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP&gt;[=NOALLOC|SEPAR|NOSQLSAV|ANSI|KR|NOPOS|NOIMAGE|NOEXCEP]]
	[-STANDARD=&lt;fichier_standard_ada&gt;]
	[-CLASSE=&lt;nom_classe&gt;]
	[-SERVICE=&lt;nom_service&gt;]
	[-FICHIER_DEP=&lt;fichier_dependances&gt;]
	[-AIDE]
</translation>
    </message>
    <message>
        <source>files declared before BEGIN, each with an environment</source>
        <translation>fichiers déclarés avant BEGIN, chacun avec un environnement</translation>
    </message>
    <message>
        <source>files given stubs and environments</source>
        <translation>fichiers dotés de simulations et d&apos;environnements</translation>
    </message>
    <message>
        <source>include the tested file itself (static functions and variables)</source>
        <translation>inclure le fichier testé lui-même (fonctions et variables statiques)</translation>
    </message>
    <message>
        <source>headers whose declarations the script includes</source>
        <translation>en-têtes dont le script inclut les déclarations</translation>
    </message>
    <message>
        <source>include directories, searched in order</source>
        <translation>répertoires d&apos;inclusion, parcourus dans l&apos;ordre</translation>
    </message>
    <message>
        <source>macro definitions</source>
        <translation>définitions de macros</translation>
    </message>
    <message>
        <source>standard defines file (default: from the target)</source>
        <translation>fichier de defines standard (par défaut : celui de la cible)</translation>
    </message>
    <message>
        <source>also create the empty symbol-table file</source>
        <translation>créer aussi le fichier de table des symboles, vide</translation>
    </message>
    <message>
        <source>escape file names in the preprocessor&apos;s line markers</source>
        <translation>protéger les noms de fichiers dans les marqueurs de ligne du préprocesseur</translation>
    </message>
    <message>
        <source>restriction flags</source>
        <translation>indicateurs de restriction</translation>
    </message>
    <message>
        <source>class name used by the script (default ORTEK)</source>
        <translation>nom de classe utilisé par le script (par défaut ORTEK)</translation>
    </message>
    <message>
        <source>append a line naming each script written</source>
        <translation>ajouter une ligne nommant chaque script écrit</translation>
    </message>
    <message>
        <source>write a make-style dependency file after the run</source>
        <translation>écrire un fichier de dépendances au format make après l&apos;exécution</translation>
    </message>
    <message>
        <source>print this text and stop</source>
        <translation>afficher ce texte et s&apos;arrêter</translation>
    </message>
</context>
<context>
    <name>CmdLine</name>
    <message>
        <source>improper -SERVICE option</source>
        <comment>First parameter (%1) for CMDERREUR error</comment>
        <translation>option -SERVICE incorrecte</translation>
    </message>
    <message>
        <source>improper RESTR=KR option</source>
        <comment>First parameter (%1) for CMDERREUR error</comment>
        <translation>option RESTR=KR incorrecte</translation>
    </message>
    <message>
        <source>QZLTGT value too long</source>
        <comment>First parameter (%1) for CMDERREUR error</comment>
        <translation>valeur de QZLTGT trop longue</translation>
    </message>
    <message>
        <source>command text too long, truncated in the script header</source>
        <comment>First parameter (%1) for CMDERREUR error</comment>
        <translation>texte de commande trop long, tronqué dans l&apos;en-tête du script</translation>
    </message>
</context>
</TS>
