<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AdvForm</name>
    <message numerus="yes">
        <source>%1 seconds</source>
        <translation>
            <numerusform>%1 Sekunde</numerusform>
            <numerusform>%1 Sekunden</numerusform>
        </translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Proxy</source>
        <translation>Proxy</translation>
    </message>
    <message>
        <source>VPN Connection Timeout</source>
        <translation>Zeitlimit VPN-Verbindung</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <source>Enable proxy</source>
        <translation>Proxy verwenden</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Serveradresse</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Serverport</translation>
    </message>
    <message>
        <source>Server type</source>
        <translation>Servertyp</translation>
    </message>
    <message>
        <source>Authentication</source>
        <translation>Authentifizierung</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Language changed</source>
        <translation>Sprache geändert</translation>
    </message>
    <message>
        <source>The changes take effect after the next Restart</source>
        <translation>Die Änderung wird beim nächsten Neustart wirksam.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>The setting could not be saved: %1</source>
        <translation>Die Einstellung konnte nicht gespeichert werden: %1</translation>
    </message>
</context>
<context>
    <name>LogForm</name>
    <message>
        <source>Ctrl+C</source>
        <translation>Ctrl+C</translation>
    </message>
    <message>
        <source>Enable logging</source>
        <translation>Protokollieren</translation>
    </message>
    <message>
        <source>Verbosity</source>
        <translation>Detailgrad</translation>
    </message>
    <message>
        <source>Timestamp</source>
        <translation>Zeitpunkt</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Meldung</translation>
    </message>
    <message>
        <source>Copy log to clipboard</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Save log to file</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Clear log</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>The log could not be saved to %1:
%2</source>
        <translation>Das Protokoll konnte nicht unter %1 gespeichert werden:
%2</translation>
    </message>
    <message>
        <source>The setting could not be saved, and holds only until the program ends: %1</source>
        <translation>Die Einstellung konnte nicht gespeichert werden und gilt nur bis zum Ende des Programms: %1</translation>
    </message>
</context>
<context>
    <name>LoginForm</name>
    <message>
        <source>Username / Password</source>
        <translation>Benutzername / Passwort</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Choose a connection profile or create a new one:</source>
        <translation>Wählen Sie ein Verbindungsprofil oder legen Sie ein neues an:</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profil</translation>
    </message>
    <message>
        <source>Close the connection to modify profiles</source>
        <translation>Trennen Sie die Verbindung, um Profile zu ändern</translation>
    </message>
    <message>
        <source>PKCS#12 password</source>
        <translation>PKCS#12-Passwort</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>The profiles could not be read: %1</source>
        <translation>Die Profile konnten nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>The profile %1 no longer exists. Choose a profile and sign in again.</source>
        <translation>Das Profil %1 gibt es nicht mehr. Wählen Sie ein Profil und melden Sie sich erneut an.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>SIGN IN</source>
        <translation>ANMELDEN</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ABBRECHEN</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Inaktiv</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Verbindung wird wiederhergestellt</translation>
    </message>
    <message>
        <source>LOGOUT</source>
        <translation>ABMELDEN</translation>
    </message>
    <message>
        <source>Reconnection in progress</source>
        <translation>Verbindung wird wiederhergestellt</translation>
    </message>
    <message>
        <source>Connection established %1 ago.</source>
        <translation>Verbindung vor %1 hergestellt.</translation>
    </message>
    <message>
        <source>Connection established by %1 %2 ago.</source>
        <translation>Verbindung von %1 vor %2 hergestellt.</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <source>Select output file</source>
        <translation>Zieldatei auswählen</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>The page could not be opened in a web browser. Its address:

%1</source>
        <translation>Die Seite konnte in keinem Webbrowser geöffnet werden. Ihre Adresse:

%1</translation>
    </message>
    <message>
        <source>PORTAL</source>
        <translation>PORTAL</translation>
    </message>
    <message>
        <source>Signing out</source>
        <translation>Abmeldung läuft</translation>
    </message>
</context>
<context>
    <name>ORVO::ApiManager</name>
    <message>
        <source>The client cannot listen for the service&apos;s requests on 127.0.0.1: %1</source>
        <translation>Der Client kann auf 127.0.0.1 keine Anfragen des Dienstes annehmen: %1</translation>
    </message>
</context>
<context>
    <name>ORVO::ConfigPlugin</name>
    <message>
        <source>Applications</source>
        <translation>Anwendungen</translation>
    </message>
    <message>
        <source>Application Profiles</source>
        <translation>Anwendungsprofile</translation>
    </message>
    <message>
        <source>Connections</source>
        <translation>Verbindungen</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>Geräte</translation>
    </message>
    <message>
        <source>Device Groups</source>
        <translation>Gerätegruppen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Benutzer</translation>
    </message>
    <message>
        <source>User Groups</source>
        <translation>Benutzergruppen</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>The management server has ended the session. Please sign in again.</source>
        <translation>Der Verwaltungsserver hat die Sitzung beendet. Bitte melden Sie sich erneut an.</translation>
    </message>
</context>
<context>
    <name>ORVO::Gui</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>No one can answer in command-line mode: answered no.</source>
        <translation>Im Befehlszeilenmodus kann niemand antworten: mit Nein beantwortet.</translation>
    </message>
    <message>
        <source>Password successfully changed for user: </source>
        <translation>Passwort erfolgreich geändert für Benutzer: </translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Connect Service is attemping to run the following action:</source>
        <translation>Der Connect-Dienst versucht, die folgende Aktion auszuführen:</translation>
    </message>
    <message>
        <source>Connect Service is attemping to close the following action:</source>
        <translation>Der Connect-Dienst versucht, die folgende Aktion zu beenden:</translation>
    </message>
    <message>
        <source>Refused: no one can confirm an action in command-line mode.</source>
        <translation>Abgelehnt: Im Befehlszeilenmodus kann niemand eine Aktion bestätigen.</translation>
    </message>
    <message numerus="yes">
        <source>Allow action execution? (Autoaccept in %1 seconds)</source>
        <translation>
            <numerusform>Aktion erlauben? (Automatisch erlaubt in %1 Sekunde)</numerusform>
            <numerusform>Aktion erlauben? (Automatisch erlaubt in %1 Sekunden)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ORVO::LodestarApi</name>
    <message>
        <source>Failed logging in</source>
        <translation>Anmeldung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Failed logging out</source>
        <translation>Abmeldung fehlgeschlagen</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Passwortänderung fehlgeschlagen</translation>
    </message>
    <message>
        <source>The management server refused the user name or password</source>
        <translation>Der Verwaltungsserver hat den Benutzernamen oder das Passwort abgelehnt</translation>
    </message>
    <message>
        <source>The management server&apos;s answer is not the change&apos;s result</source>
        <translation>Die Antwort des Verwaltungsservers ist nicht das Ergebnis der Änderung</translation>
    </message>
    <message>
        <source>%1: the new password may be in force.</source>
        <translation>%1: Das neue Passwort gilt möglicherweise schon.</translation>
    </message>
</context>
<context>
    <name>ORVO::LoginPlugin</name>
    <message>
        <source>LOGIN</source>
        <translation>ANMELDUNG</translation>
    </message>
    <message>
        <source>ADVANCED</source>
        <translation>ERWEITERT</translation>
    </message>
    <message>
        <source>LOGS</source>
        <translation>PROTOKOLL</translation>
    </message>
</context>
<context>
    <name>ORVO::Manager</name>
    <message>
        <source>Untrusted Server!</source>
        <translation>Nicht vertrauenswürdiger Server!</translation>
    </message>
    <message>
        <source>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</source>
        <translation>Um diese Warnung zu vermeiden, fügen Sie dem Verbindungsprofil ein vertrauenswürdiges CA-Zertifikat hinzu oder deaktivieren Sie die Prüfung des Serverzertifikats (NICHT empfohlen)</translation>
    </message>
    <message>
        <source>Do you still want to continue?</source>
        <translation>Möchten Sie trotzdem fortfahren?</translation>
    </message>
</context>
<context>
    <name>ORVO::NetworkManager</name>
    <message>
        <source>No error</source>
        <translation>Kein Fehler</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Ungültige Parameter</translation>
    </message>
    <message>
        <source>Error in request</source>
        <translation>Fehler in der Anfrage</translation>
    </message>
    <message>
        <source>Error in reply</source>
        <translation>Fehler in der Antwort</translation>
    </message>
    <message>
        <source>System error</source>
        <translation>Systemfehler</translation>
    </message>
    <message>
        <source>The server answered with status %1 instead of the file.</source>
        <translation>Der Server hat statt der Datei mit dem Status %1 geantwortet.</translation>
    </message>
    <message>
        <source>The download was redirected to an address that cannot be fetched: %1</source>
        <translation>Der Download wurde an eine Adresse umgeleitet, die nicht abgerufen werden kann: %1</translation>
    </message>
    <message>
        <source>The download was redirected from a secure address to an insecure one: %1</source>
        <translation>Der Download wurde von einer sicheren an eine unsichere Adresse umgeleitet: %1</translation>
    </message>
    <message>
        <source>The download was redirected too many times: %1</source>
        <translation>Der Download wurde zu oft umgeleitet: %1</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The server&apos;s own file was sent on to another server, %1: it was not followed</source>
        <translation>Die eigene Datei des Servers wurde an einen anderen Server weitergeleitet, %1: der Weiterleitung wurde nicht gefolgt</translation>
    </message>
</context>
<context>
    <name>ORVO::PluginWindow</name>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Abmelden</translation>
    </message>
    <message>
        <source>Signing out</source>
        <translation>Abmelden …</translation>
    </message>
</context>
<context>
    <name>ORVO::ProcessManager</name>
    <message>
        <source>Select executable file</source>
        <translation>Ausführbare Datei auswählen</translation>
    </message>
    <message>
        <source>No error</source>
        <translation>Kein Fehler</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Ungültige Parameter</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Nicht genügend Speicher</translation>
    </message>
    <message>
        <source>Specified action already running for given endpoint</source>
        <translation>Die angegebene Aktion läuft bereits für diesen Endpunkt</translation>
    </message>
    <message>
        <source>Not a valid executable</source>
        <translation>Keine gültige ausführbare Datei</translation>
    </message>
    <message>
        <source>Error running process</source>
        <translation>Fehler beim Ausführen des Prozesses</translation>
    </message>
    <message>
        <source>The program location could not be saved</source>
        <translation>Der Programmpfad konnte nicht gespeichert werden</translation>
    </message>
</context>
<context>
    <name>ORVO::QWebPageEcc</name>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Bestätigung</translation>
    </message>
</context>
<context>
    <name>ORVO::SignInManager</name>
    <message>
        <source>No portal yet: the local service did not give the connection&apos;s configuration in time. It is asked again; signing out and in again starts over.</source>
        <translation>Noch kein Portal: Der lokale Dienst hat die Konfiguration der Verbindung nicht rechtzeitig geliefert. Sie wird erneut angefragt; Abmelden und erneutes Anmelden beginnt von vorn.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the local service did not give its configuration (code %1). Sign out and in again to try again.</source>
        <translation>Für diese Verbindung kommt kein Portal: Der lokale Dienst hat ihre Konfiguration nicht geliefert (Code %1). Melden Sie sich ab und wieder an, um es erneut zu versuchen.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: its configuration names no management server. Sign out and in again to try again.</source>
        <translation>Für diese Verbindung kommt kein Portal: Ihre Konfiguration nennt keinen Verwaltungsserver. Melden Sie sich ab und wieder an, um es erneut zu versuchen.</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service cannot be reached</source>
        <translation>Anmeldung nicht möglich: der lokale Dienst ist nicht erreichbar</translation>
    </message>
    <message>
        <source>Cannot sign in: no credential was given</source>
        <translation>Anmeldung nicht möglich: es wurden keine Anmeldedaten übergeben</translation>
    </message>
    <message>
        <source>This connection was not started by a sign-in here. Sign out and in again to open the portal.</source>
        <translation>Diese Verbindung wurde nicht durch eine Anmeldung hier gestartet. Melden Sie sich ab und wieder an, um das Portal zu öffnen.</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service refused the credential</source>
        <translation>Anmeldung nicht möglich: der lokale Dienst hat die Anmeldedaten abgelehnt</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service did not answer in time</source>
        <translation>Anmeldung nicht möglich: der lokale Dienst hat nicht rechtzeitig geantwortet</translation>
    </message>
    <message>
        <source>Cannot sign in: too many requests are waiting for the local service</source>
        <translation>Anmeldung nicht möglich: zu viele Anfragen warten auf den lokalen Dienst</translation>
    </message>
    <message>
        <source>Cannot sign in: the credential could not be sent</source>
        <translation>Anmeldung nicht möglich: die Anmeldedaten konnten nicht gesendet werden</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Passwortänderung fehlgeschlagen</translation>
    </message>
    <message>
        <source>The password can be changed only while signed in, once the sign-in or sign-out under way is over.</source>
        <translation>Das Passwort lässt sich nur ändern, solange Sie angemeldet sind und keine An- oder Abmeldung läuft.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the service now names another management server (%1) than the one this sign-in began with (%2). Sign out and in again to sign in there.</source>
        <translation>Für diese Verbindung kommt kein Portal: Der Dienst nennt jetzt einen anderen Verwaltungsserver (%1) als den, mit dem diese Anmeldung begann (%2). Melden Sie sich ab und wieder an, um sich dort anzumelden.</translation>
    </message>
    <message>
        <source>The connection ended before the management server answered</source>
        <translation>Die Verbindung endete, bevor der Verwaltungsserver antwortete</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the local service runs it on its fallback connection, for which its configuration names no management server. Sign out and in again to try again.</source>
        <translation>Für diese Verbindung kommt kein Portal: Der lokale Dienst führt sie über ihre Ausweichverbindung, für die ihre Konfiguration keinen Verwaltungsserver nennt. Melden Sie sich ab und wieder an, um es erneut zu versuchen.</translation>
    </message>
</context>
<context>
    <name>ORVO::SystemTray</name>
    <message>
        <source>Show Connect App</source>
        <translation>Connect App anzeigen</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Connected to:</source>
        <translation>Verbunden mit:</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Connected since:</source>
        <translation>Verbunden seit:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>ProfilesDialog</name>
    <message>
        <source>%1 Connection Profiles</source>
        <translation>%1 – Verbindungsprofile</translation>
    </message>
    <message>
        <source>Profile name</source>
        <translation>Profilname</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manuell</translation>
    </message>
    <message>
        <source>From files</source>
        <translation>Aus Dateien</translation>
    </message>
    <message>
        <source>Configuration mode</source>
        <translation>Konfiguration</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Serveradresse</translation>
    </message>
    <message>
        <source>CA Certificate file...</source>
        <translation>CA-Zertifikat...</translation>
    </message>
    <message>
        <source>Manual authentication</source>
        <translation>Manuelle Authentifizierung</translation>
    </message>
    <message>
        <source>Username / Password</source>
        <translation>Benutzername / Passwort</translation>
    </message>
    <message>
        <source>Certificate</source>
        <translation>Zertifikat</translation>
    </message>
    <message>
        <source>Authentication type</source>
        <translation>Anmeldeart</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Benutzername</translation>
    </message>
    <message>
        <source>Remember password</source>
        <translation>Passwort speichern</translation>
    </message>
    <message>
        <source>Select a PKCS#12 file</source>
        <translation>PKCS#12-Datei wählen</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Serverport</translation>
    </message>
    <message>
        <source>Verify server certificate when connecting</source>
        <translation>Serverzertifikat beim Verbinden prüfen</translation>
    </message>
    <message>
        <source>Tunnel device</source>
        <translation>Tunnelgerät</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Enable LZO compression</source>
        <translation>LZO-Komprimierung verwenden</translation>
    </message>
    <message>
        <source>Set routes automatically</source>
        <translation>Routen automatisch setzen</translation>
    </message>
    <message>
        <source>Enable fallback server</source>
        <translation>Ausweichserver verwenden</translation>
    </message>
    <message>
        <source>Fallback server</source>
        <translation>Ausweichserver</translation>
    </message>
    <message>
        <source>Fallback port</source>
        <translation>Ausweichport</translation>
    </message>
    <message>
        <source>Fallback protocol</source>
        <translation>Ausweichprotokoll</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Undefined fields in profile</source>
        <translation>Nicht ausgefüllte Felder im Profil</translation>
    </message>
    <message>
        <source>Select one or more configuration files</source>
        <translation>Eine oder mehrere Konfigurationsdateien wählen</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <source>No valid OpenVPN configuration file detected!</source>
        <translation>Keine gültige OpenVPN-Konfigurationsdatei gefunden!</translation>
    </message>
    <message>
        <source>Select a CA certificate file</source>
        <translation>CA-Zertifikatsdatei wählen</translation>
    </message>
    <message>
        <source>PEM File (*.pem)</source>
        <translation>PEM-Datei (*.pem)</translation>
    </message>
    <message>
        <source>Chosen file is not readable or does not contain valid certificates!</source>
        <translation>Die gewählte Datei ist nicht lesbar oder enthält keine gültigen Zertifikate!</translation>
    </message>
    <message>
        <source>PKCS#12 File (*.p12)</source>
        <translation>PKCS#12-Datei (*.p12)</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) loaded</source>
        <translation>
            <numerusform>%n Datei geladen</numerusform>
            <numerusform>%n Dateien geladen</numerusform>
        </translation>
    </message>
    <message>
        <source>PKCS#12 password</source>
        <translation>PKCS#12-Passwort</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Erweitert</translation>
    </message>
    <message>
        <source>The profiles could not be written: %1</source>
        <translation>Die Profile konnten nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The profile %1 could not be written: %2</source>
        <translation>Das Profil %1 konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The name %1 cannot be used: another profile has it.</source>
        <translation>Der Name %1 kann nicht verwendet werden: Ein anderes Profil trägt ihn.</translation>
    </message>
    <message>
        <source>The name %1 cannot be used: a profile of that name is on disk and cannot be read.</source>
        <translation>Der Name %1 kann nicht verwendet werden: Ein Profil dieses Namens liegt auf der Festplatte und kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The server address cannot be used: give a host name or an IP address, without blanks or control characters.</source>
        <translation>Die Serveradresse kann nicht verwendet werden: Geben Sie einen Hostnamen oder eine IP-Adresse ohne Leer- und Steuerzeichen an.</translation>
    </message>
    <message>
        <source>Press OK to keep your changes or Cancel to drop them, then sign in.</source>
        <translation>Drücken Sie OK, um Ihre Änderungen zu behalten, oder Abbrechen, um sie zu verwerfen, und melden Sie sich dann an.</translation>
    </message>
    <message>
        <source>A profile needs a name.</source>
        <translation>Ein Profil braucht einen Namen.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Manager</source>
        <translation>Manager</translation>
    </message>
    <message>
        <source>Network Manager</source>
        <translation>Netzwerkmanager</translation>
    </message>
    <message>
        <source>Process Manager</source>
        <translation>Prozessmanager</translation>
    </message>
    <message>
        <source>API Manager</source>
        <translation>API Manager</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Hoch</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Niedrig</translation>
    </message>
    <message>
        <source>new profile %1</source>
        <translation>neues Profil %1</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>Schwerwiegender Fehler</translation>
    </message>
    <message>
        <source>Missing configuration file: </source>
        <translation>Konfigurationsdatei fehlt: </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n Tag</numerusform>
            <numerusform>%n Tage</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 is already running for this user.</source>
        <translation>%1 läuft für diesen Benutzer bereits.</translation>
    </message>
    <message>
        <source>(process %1)</source>
        <translation>(Prozess %1)</translation>
    </message>
    <message>
        <source>The connection to the VPN service could not be set up.</source>
        <translation>Die Verbindung zum VPN-Dienst konnte nicht eingerichtet werden.</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>%1 Settings</source>
        <translation>%1 – Einstellungen</translation>
    </message>
    <message>
        <source>Applications</source>
        <translation>Anwendungen</translation>
    </message>
    <message>
        <source>User information</source>
        <translation>Benutzerdaten</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>Bemerkung</translation>
    </message>
    <message>
        <source>Default Location</source>
        <translation>Standardpfad</translation>
    </message>
    <message>
        <source>Custom Location</source>
        <translation>Eigener Pfad</translation>
    </message>
    <message>
        <source>Reset Selected</source>
        <translation>Auswahl zurücksetzen</translation>
    </message>
    <message>
        <source>Reset All</source>
        <translation>Alle zurücksetzen</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Old password</source>
        <translation>Altes Passwort</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>Neues Passwort</translation>
    </message>
    <message>
        <source>Confirm password</source>
        <translation>Bestätigung</translation>
    </message>
    <message>
        <source>Change password</source>
        <translation>Passwort ändern</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Bestätigung</translation>
    </message>
    <message>
        <source>Do you really want to reset the selected applications?</source>
        <translation>Die ausgewählten Anwendungen wirklich zurücksetzen?</translation>
    </message>
    <message>
        <source>Do you really want to reset ALL applications?</source>
        <translation>ALLE Anwendungen wirklich zurücksetzen?</translation>
    </message>
    <message>
        <source>Do you really want to change your password?</source>
        <translation>Ihr Passwort wirklich ändern?</translation>
    </message>
    <message>
        <source>Incorrect Old password!</source>
        <translation>Das alte Passwort ist falsch!</translation>
    </message>
    <message>
        <source>Password reentered incorrectly!</source>
        <translation>Die Passwörter stimmen nicht überein!</translation>
    </message>
    <message>
        <source>The location could not be saved: %1</source>
        <translation>Der Pfad konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>The applications could not be reset: %1</source>
        <translation>Die Anwendungen konnten nicht zurückgesetzt werden: %1</translation>
    </message>
</context>
<context>
    <name>libvelcor</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Inaktiv</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Verbindung wird aufgebaut</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Verbindung wird wiederhergestellt</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
</context>
<context>
    <name>libvelcor::Client</name>
    <message>
        <source>Invalid web request address</source>
        <translation>Ungültige Adresse der Webanfrage</translation>
    </message>
    <message>
        <source>The reply from %1 is too large</source>
        <translation>Die Antwort von %1 ist zu groß</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>mehr als %1 Bytes</translation>
    </message>
    <message>
        <source>No answer from %1</source>
        <translation>Keine Antwort von %1</translation>
    </message>
    <message>
        <source>the request timed out after %1 seconds</source>
        <translation>Zeitüberschreitung der Anfrage nach %1 Sekunden</translation>
    </message>
    <message>
        <source>The server answered %1 %2 to %3</source>
        <translation>Der Server antwortete %1 %2 auf %3</translation>
    </message>
    <message>
        <source>HTTP status %1</source>
        <translation>HTTP-Status %1</translation>
    </message>
    <message>
        <source>network error %1: %2</source>
        <translation>Netzwerkfehler %1: %2</translation>
    </message>
    <message>
        <source>The request to %1 failed</source>
        <translation>Die Anfrage an %1 ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>%1 sent the request on to another server, %2: it was not followed</source>
        <translation>%1 hat die Anfrage an einen anderen Server weitergeleitet, %2: der Weiterleitung wurde nicht gefolgt</translation>
    </message>
    <message>
        <source>nothing was sent there: a request goes with its form, cookies and headers only to its own server</source>
        <translation>dorthin wurde nichts gesendet: eine Anfrage geht mit ihrem Formular, ihren Cookies und Kopfzeilen nur an ihren eigenen Server</translation>
    </message>
    <message>
        <source>%1 answered the form with another page, %2</source>
        <translation>%1 hat das Formular mit einer anderen Seite beantwortet, %2</translation>
    </message>
    <message>
        <source>a redirect that makes the form a request for a page is no answer to it</source>
        <translation>eine Weiterleitung, die aus dem Formular den Abruf einer Seite macht, ist keine Antwort darauf</translation>
    </message>
    <message>
        <source>%1 sent the request on more than %2 times, the last to %3: it was not followed</source>
        <translation>%1 hat die Anfrage mehr als %2-mal weitergeleitet, zuletzt an %3: der Weiterleitung wurde nicht gefolgt</translation>
    </message>
    <message>
        <source>%1 asks for https, %2: the form was not sent there</source>
        <translation>%1 verlangt https, %2: das Formular wurde nicht dorthin gesendet</translation>
    </message>
    <message>
        <source>its %1 answer would send the form on as a request for a page; a server that moves a form to https keeps it with 307 or 308</source>
        <translation>seine Antwort %1 würde das Formular als Abruf einer Seite weiterleiten; ein Server, der ein Formular auf https umleitet, erhält es mit 307 oder 308</translation>
    </message>
    <message>
        <source>HTTP status %1: no answer to the request, nor a redirect that is followed</source>
        <translation>HTTP-Status %1: keine Antwort auf die Anfrage und keine Weiterleitung, der gefolgt wird</translation>
    </message>
</context>
<context>
    <name>libvelcor::detail::ServiceConnection</name>
    <message>
        <source>Nothing is sent to the local service at %1: the program listening there does not belong to this user or to the system</source>
        <translation>An den lokalen Dienst unter %1 wird nichts gesendet: Das Programm, das dort lauscht, gehört weder diesem Benutzer noch dem System</translation>
    </message>
</context>
<context>
    <name>profilesDialog</name>
    <message>
        <source>Browse</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Erweitert</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>settingsDialog</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>Bemerkung</translation>
    </message>
    <message>
        <source>Default Location</source>
        <translation>Standardpfad</translation>
    </message>
    <message>
        <source>Custom Location</source>
        <translation>Eigener Pfad</translation>
    </message>
    <message>
        <source>Reset Selected</source>
        <translation>Auswahl zurücksetzen</translation>
    </message>
    <message>
        <source>Reset All</source>
        <translation>Alle zurücksetzen</translation>
    </message>
    <message>
        <source>Page</source>
        <translation>Seite</translation>
    </message>
</context>
</TS>
