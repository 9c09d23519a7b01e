<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT">
<context>
    <name>AdvForm</name>
    <message numerus="yes">
        <source>%1 seconds</source>
        <translation>
            <numerusform>%1 secondo</numerusform>
            <numerusform>%1 secondi</numerusform>
        </translation>
    </message>
    <message>
        <source>General</source>
        <translation>Generale</translation>
    </message>
    <message>
        <source>Proxy</source>
        <translation>Proxy</translation>
    </message>
    <message>
        <source>VPN Connection Timeout</source>
        <translation>Timeout connessione VPN</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Lingua</translation>
    </message>
    <message>
        <source>Enable proxy</source>
        <translation>Usa proxy</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Indirizzo server</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Porta server</translation>
    </message>
    <message>
        <source>Server type</source>
        <translation>Tipo server</translation>
    </message>
    <message>
        <source>Authentication</source>
        <translation>Autenticazione</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Nome utente</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Language changed</source>
        <translation>Lingua cambiata</translation>
    </message>
    <message>
        <source>The changes take effect after the next Restart</source>
        <translation>La modifica avrà effetto al prossimo riavvio.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>The setting could not be saved: %1</source>
        <translation>Impossibile salvare l&apos;impostazione: %1</translation>
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
        <translation>Registra eventi</translation>
    </message>
    <message>
        <source>Verbosity</source>
        <translation>Dettaglio</translation>
    </message>
    <message>
        <source>Timestamp</source>
        <translation>Data e ora</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Messaggio</translation>
    </message>
    <message>
        <source>Copy log to clipboard</source>
        <translation>Copia</translation>
    </message>
    <message>
        <source>Save log to file</source>
        <translation>Salva</translation>
    </message>
    <message>
        <source>Clear log</source>
        <translation>Svuota</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Cerca</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>The log could not be saved to %1:
%2</source>
        <translation>Impossibile salvare il registro in %1:
%2</translation>
    </message>
    <message>
        <source>The setting could not be saved, and holds only until the program ends: %1</source>
        <translation>Impossibile salvare l&apos;impostazione, che vale solo fino alla chiusura del programma: %1</translation>
    </message>
</context>
<context>
    <name>LoginForm</name>
    <message>
        <source>Username / Password</source>
        <translation>Nome utente / Password</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Connessione</translation>
    </message>
    <message>
        <source>Choose a connection profile or create a new one:</source>
        <translation>Scegli un profilo di connessione o creane uno nuovo:</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profilo</translation>
    </message>
    <message>
        <source>Close the connection to modify profiles</source>
        <translation>Chiudi la connessione per modificare i profili</translation>
    </message>
    <message>
        <source>PKCS#12 password</source>
        <translation>Password PKCS#12</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>The profiles could not be read: %1</source>
        <translation>Impossibile leggere i profili: %1</translation>
    </message>
    <message>
        <source>The profile %1 no longer exists. Choose a profile and sign in again.</source>
        <translation>Il profilo %1 non esiste più. Scegliere un profilo e accedere di nuovo.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>SIGN IN</source>
        <translation>ACCEDI</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>ANNULLA</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Inattivo</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Riconnessione</translation>
    </message>
    <message>
        <source>LOGOUT</source>
        <translation>ESCI</translation>
    </message>
    <message>
        <source>Reconnection in progress</source>
        <translation>Riconnessione in corso</translation>
    </message>
    <message>
        <source>Connection established %1 ago.</source>
        <translation>Connessione stabilita %1 fa.</translation>
    </message>
    <message>
        <source>Connection established by %1 %2 ago.</source>
        <translation>Connessione stabilita da %1 %2 fa.</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Tutti i file</translation>
    </message>
    <message>
        <source>Select output file</source>
        <translation>Seleziona il file di destinazione</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Avviso</translation>
    </message>
    <message>
        <source>The page could not be opened in a web browser. Its address:

%1</source>
        <translation>Impossibile aprire la pagina in un browser web. Il suo indirizzo:

%1</translation>
    </message>
    <message>
        <source>PORTAL</source>
        <translation>PORTALE</translation>
    </message>
    <message>
        <source>Signing out</source>
        <translation>Disconnessione in corso</translation>
    </message>
</context>
<context>
    <name>ORVO::ApiManager</name>
    <message>
        <source>The client cannot listen for the service&apos;s requests on 127.0.0.1: %1</source>
        <translation>Il client non può ricevere le richieste del servizio su 127.0.0.1: %1</translation>
    </message>
</context>
<context>
    <name>ORVO::ConfigPlugin</name>
    <message>
        <source>Applications</source>
        <translation>Applicazioni</translation>
    </message>
    <message>
        <source>Application Profiles</source>
        <translation>Profili applicazione</translation>
    </message>
    <message>
        <source>Connections</source>
        <translation>Connessioni</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>Dispositivi</translation>
    </message>
    <message>
        <source>Device Groups</source>
        <translation>Gruppi dispositivi</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Utenti</translation>
    </message>
    <message>
        <source>User Groups</source>
        <translation>Gruppi utenti</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Informazioni</translation>
    </message>
    <message>
        <source>The management server has ended the session. Please sign in again.</source>
        <translation>Il server di gestione ha terminato la sessione. Accedere di nuovo.</translation>
    </message>
</context>
<context>
    <name>ORVO::Gui</name>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Avviso</translation>
    </message>
    <message>
        <source>No one can answer in command-line mode: answered no.</source>
        <translation>In modalità riga di comando nessuno può rispondere: risposta negativa.</translation>
    </message>
    <message>
        <source>Password successfully changed for user: </source>
        <translation>Password modificata correttamente per l&apos;utente: </translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Informazioni</translation>
    </message>
    <message>
        <source>Connect Service is attemping to run the following action:</source>
        <translation>Il servizio Connect sta tentando di eseguire la seguente azione:</translation>
    </message>
    <message>
        <source>Connect Service is attemping to close the following action:</source>
        <translation>Il servizio Connect sta tentando di chiudere la seguente azione:</translation>
    </message>
    <message>
        <source>Refused: no one can confirm an action in command-line mode.</source>
        <translation>Rifiutata: in modalità riga di comando nessuno può confermare un&apos;azione.</translation>
    </message>
    <message numerus="yes">
        <source>Allow action execution? (Autoaccept in %1 seconds)</source>
        <translation>
            <numerusform>Consentire l&apos;azione? (Automaticamente tra %1 secondo)</numerusform>
            <numerusform>Consentire l&apos;azione? (Automaticamente tra %1 secondi)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ORVO::LodestarApi</name>
    <message>
        <source>Failed logging in</source>
        <translation>Accesso non riuscito</translation>
    </message>
    <message>
        <source>Failed logging out</source>
        <translation>Disconnessione non riuscita</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Modifica della password non riuscita</translation>
    </message>
    <message>
        <source>The management server refused the user name or password</source>
        <translation>Il server di gestione ha rifiutato il nome utente o la password</translation>
    </message>
    <message>
        <source>The management server&apos;s answer is not the change&apos;s result</source>
        <translation>La risposta del server di gestione non è il risultato della modifica</translation>
    </message>
    <message>
        <source>%1: the new password may be in force.</source>
        <translation>%1: la nuova password potrebbe essere già in vigore.</translation>
    </message>
</context>
<context>
    <name>ORVO::LoginPlugin</name>
    <message>
        <source>LOGIN</source>
        <translation>ACCESSO</translation>
    </message>
    <message>
        <source>ADVANCED</source>
        <translation>AVANZATE</translation>
    </message>
    <message>
        <source>LOGS</source>
        <translation>REGISTRO</translation>
    </message>
</context>
<context>
    <name>ORVO::Manager</name>
    <message>
        <source>Untrusted Server!</source>
        <translation>Server non attendibile!</translation>
    </message>
    <message>
        <source>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</source>
        <translation>Per evitare questo avviso, aggiungere un certificato CA attendibile al profilo di connessione oppure disattivare la verifica del certificato del server (NON consigliato)</translation>
    </message>
    <message>
        <source>Do you still want to continue?</source>
        <translation>Continuare comunque?</translation>
    </message>
</context>
<context>
    <name>ORVO::NetworkManager</name>
    <message>
        <source>No error</source>
        <translation>Nessun errore</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Parametri non validi</translation>
    </message>
    <message>
        <source>Error in request</source>
        <translation>Errore nella richiesta</translation>
    </message>
    <message>
        <source>Error in reply</source>
        <translation>Errore nella risposta</translation>
    </message>
    <message>
        <source>System error</source>
        <translation>Errore di sistema</translation>
    </message>
    <message>
        <source>The server answered with status %1 instead of the file.</source>
        <translation>Il server ha risposto con lo stato %1 invece di inviare il file.</translation>
    </message>
    <message>
        <source>The download was redirected to an address that cannot be fetched: %1</source>
        <translation>Il download è stato reindirizzato a un indirizzo che non può essere scaricato: %1</translation>
    </message>
    <message>
        <source>The download was redirected from a secure address to an insecure one: %1</source>
        <translation>Il download è stato reindirizzato da un indirizzo sicuro a uno non sicuro: %1</translation>
    </message>
    <message>
        <source>The download was redirected too many times: %1</source>
        <translation>Il download è stato reindirizzato troppe volte: %1</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Impossibile scrivere %1: %2</translation>
    </message>
    <message>
        <source>The server&apos;s own file was sent on to another server, %1: it was not followed</source>
        <translation>Il file proprio del server è stato inoltrato a un altro server, %1: l&apos;inoltro non è stato seguito</translation>
    </message>
</context>
<context>
    <name>ORVO::PluginWindow</name>
    <message>
        <source>Refresh</source>
        <translation>Aggiorna</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Indietro</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Ingrandisci</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Riduci</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Chiudi</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Esci</translation>
    </message>
    <message>
        <source>Signing out</source>
        <translation>Uscita in corso</translation>
    </message>
</context>
<context>
    <name>ORVO::ProcessManager</name>
    <message>
        <source>Select executable file</source>
        <translation>Seleziona il file eseguibile</translation>
    </message>
    <message>
        <source>No error</source>
        <translation>Nessun errore</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Parametri non validi</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Memoria esaurita</translation>
    </message>
    <message>
        <source>Specified action already running for given endpoint</source>
        <translation>L&apos;azione indicata è già in esecuzione per questo endpoint</translation>
    </message>
    <message>
        <source>Not a valid executable</source>
        <translation>Non è un eseguibile valido</translation>
    </message>
    <message>
        <source>Error running process</source>
        <translation>Errore durante l&apos;esecuzione del processo</translation>
    </message>
    <message>
        <source>The program location could not be saved</source>
        <translation>Impossibile salvare il percorso del programma</translation>
    </message>
</context>
<context>
    <name>ORVO::QWebPageEcc</name>
    <message>
        <source>Info</source>
        <translation>Informazioni</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Conferma</translation>
    </message>
</context>
<context>
    <name>ORVO::SignInManager</name>
    <message>
        <source>No portal yet: the local service did not give the connection&apos;s configuration in time. It is asked again; signing out and in again starts over.</source>
        <translation>Ancora nessun portale: il servizio locale non ha fornito in tempo la configurazione della connessione. Viene richiesta di nuovo; disconnettendoti e accedendo di nuovo si ricomincia da capo.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the local service did not give its configuration (code %1). Sign out and in again to try again.</source>
        <translation>Per questa connessione non arriva alcun portale: il servizio locale non ha fornito la sua configurazione (codice %1). Disconnettiti e accedi di nuovo per riprovare.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: its configuration names no management server. Sign out and in again to try again.</source>
        <translation>Per questa connessione non arriva alcun portale: la sua configurazione non indica alcun server di gestione. Disconnettiti e accedi di nuovo per riprovare.</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service cannot be reached</source>
        <translation>Impossibile accedere: il servizio locale non è raggiungibile</translation>
    </message>
    <message>
        <source>Cannot sign in: no credential was given</source>
        <translation>Impossibile accedere: non è stata fornita alcuna credenziale</translation>
    </message>
    <message>
        <source>This connection was not started by a sign-in here. Sign out and in again to open the portal.</source>
        <translation>Questa connessione non è stata avviata da un accesso qui. Disconnettiti e accedi di nuovo per aprire il portale.</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service refused the credential</source>
        <translation>Impossibile accedere: il servizio locale ha rifiutato le credenziali</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service did not answer in time</source>
        <translation>Impossibile accedere: il servizio locale non ha risposto in tempo</translation>
    </message>
    <message>
        <source>Cannot sign in: too many requests are waiting for the local service</source>
        <translation>Impossibile accedere: troppe richieste sono in attesa del servizio locale</translation>
    </message>
    <message>
        <source>Cannot sign in: the credential could not be sent</source>
        <translation>Impossibile accedere: non è stato possibile inviare la credenziale</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Modifica della password non riuscita</translation>
    </message>
    <message>
        <source>The password can be changed only while signed in, once the sign-in or sign-out under way is over.</source>
        <translation>La password si può cambiare solo da connessi, quando non è in corso un accesso o una disconnessione.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the service now names another management server (%1) than the one this sign-in began with (%2). Sign out and in again to sign in there.</source>
        <translation>Per questa connessione non arriva alcun portale: il servizio ora indica un server di gestione (%1) diverso da quello con cui è iniziato questo accesso (%2). Disconnettiti e accedi di nuovo per accedere a quello.</translation>
    </message>
    <message>
        <source>The connection ended before the management server answered</source>
        <translation>La connessione è terminata prima che il server di gestione rispondesse</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the local service runs it on its fallback connection, for which its configuration names no management server. Sign out and in again to try again.</source>
        <translation>Per questa connessione non arriva alcun portale: il servizio locale la usa tramite la connessione di riserva, per la quale la sua configurazione non indica alcun server di gestione. Disconnettiti e accedi di nuovo per riprovare.</translation>
    </message>
</context>
<context>
    <name>ORVO::SystemTray</name>
    <message>
        <source>Show Connect App</source>
        <translation>Mostra Connect App</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Stato</translation>
    </message>
    <message>
        <source>Connected to:</source>
        <translation>Connesso a:</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Nome utente:</translation>
    </message>
    <message>
        <source>Connected since:</source>
        <translation>Connesso da:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connetti</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnetti</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Esci</translation>
    </message>
</context>
<context>
    <name>ProfilesDialog</name>
    <message>
        <source>%1 Connection Profiles</source>
        <translation>%1 – Profili di connessione</translation>
    </message>
    <message>
        <source>Profile name</source>
        <translation>Nome profilo</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manuale</translation>
    </message>
    <message>
        <source>From files</source>
        <translation>Da file</translation>
    </message>
    <message>
        <source>Configuration mode</source>
        <translation>Configurazione</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Indirizzo server</translation>
    </message>
    <message>
        <source>CA Certificate file...</source>
        <translation>Certificato CA...</translation>
    </message>
    <message>
        <source>Manual authentication</source>
        <translation>Autenticazione manuale</translation>
    </message>
    <message>
        <source>Username / Password</source>
        <translation>Nome utente / Password</translation>
    </message>
    <message>
        <source>Certificate</source>
        <translation>Certificato</translation>
    </message>
    <message>
        <source>Authentication type</source>
        <translation>Autenticazione</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Nome utente</translation>
    </message>
    <message>
        <source>Remember password</source>
        <translation>Ricorda la password</translation>
    </message>
    <message>
        <source>Select a PKCS#12 file</source>
        <translation>Scegli un file PKCS#12</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Porta server</translation>
    </message>
    <message>
        <source>Verify server certificate when connecting</source>
        <translation>Verifica il certificato del server alla connessione</translation>
    </message>
    <message>
        <source>Tunnel device</source>
        <translation>Dispositivo tunnel</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protocollo</translation>
    </message>
    <message>
        <source>Enable LZO compression</source>
        <translation>Usa la compressione LZO</translation>
    </message>
    <message>
        <source>Set routes automatically</source>
        <translation>Imposta le route automaticamente</translation>
    </message>
    <message>
        <source>Enable fallback server</source>
        <translation>Usa un server di riserva</translation>
    </message>
    <message>
        <source>Fallback server</source>
        <translation>Server di riserva</translation>
    </message>
    <message>
        <source>Fallback port</source>
        <translation>Porta di riserva</translation>
    </message>
    <message>
        <source>Fallback protocol</source>
        <translation>Protocollo di riserva</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Undefined fields in profile</source>
        <translation>Campi non compilati nel profilo</translation>
    </message>
    <message>
        <source>Select one or more configuration files</source>
        <translation>Scegli uno o più file di configurazione</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Tutti i file</translation>
    </message>
    <message>
        <source>No valid OpenVPN configuration file detected!</source>
        <translation>Nessun file di configurazione OpenVPN valido trovato!</translation>
    </message>
    <message>
        <source>Select a CA certificate file</source>
        <translation>Scegli un file di certificato CA</translation>
    </message>
    <message>
        <source>PEM File (*.pem)</source>
        <translation>File PEM (*.pem)</translation>
    </message>
    <message>
        <source>Chosen file is not readable or does not contain valid certificates!</source>
        <translation>Il file scelto non è leggibile o non contiene certificati validi!</translation>
    </message>
    <message>
        <source>PKCS#12 File (*.p12)</source>
        <translation>File PKCS#12 (*.p12)</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) loaded</source>
        <translation>
            <numerusform>%n file caricato</numerusform>
            <numerusform>%n file caricati</numerusform>
        </translation>
    </message>
    <message>
        <source>PKCS#12 password</source>
        <translation>Password PKCS#12</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Avanzate</translation>
    </message>
    <message>
        <source>The profiles could not be written: %1</source>
        <translation>Impossibile scrivere i profili: %1</translation>
    </message>
    <message>
        <source>The profile %1 could not be written: %2</source>
        <translation>Impossibile scrivere il profilo %1: %2</translation>
    </message>
    <message>
        <source>The name %1 cannot be used: another profile has it.</source>
        <translation>Il nome %1 non può essere usato: lo porta già un altro profilo.</translation>
    </message>
    <message>
        <source>The name %1 cannot be used: a profile of that name is on disk and cannot be read.</source>
        <translation>Il nome %1 non può essere usato: sul disco c&apos;è un profilo con questo nome che non può essere letto.</translation>
    </message>
    <message>
        <source>The server address cannot be used: give a host name or an IP address, without blanks or control characters.</source>
        <translation>L&apos;indirizzo del server non può essere usato: indicare un nome host o un indirizzo IP, senza spazi né caratteri di controllo.</translation>
    </message>
    <message>
        <source>Press OK to keep your changes or Cancel to drop them, then sign in.</source>
        <translation>Premi OK per mantenere le modifiche o Annulla per scartarle, poi accedi.</translation>
    </message>
    <message>
        <source>A profile needs a name.</source>
        <translation>Un profilo deve avere un nome.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>None</source>
        <translation>Nessuno</translation>
    </message>
    <message>
        <source>Manager</source>
        <translation>Manager</translation>
    </message>
    <message>
        <source>Network Manager</source>
        <translation>Manager di rete</translation>
    </message>
    <message>
        <source>Process Manager</source>
        <translation>Manager dei processi</translation>
    </message>
    <message>
        <source>API Manager</source>
        <translation>Manager delle API</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Alta</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normale</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Bassa</translation>
    </message>
    <message>
        <source>new profile %1</source>
        <translation>nuovo profilo %1</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>Errore irreversibile</translation>
    </message>
    <message>
        <source>Missing configuration file: </source>
        <translation>File di configurazione mancante: </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n giorno</numerusform>
            <numerusform>%n giorni</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 is already running for this user.</source>
        <translation>%1 è già in esecuzione per questo utente.</translation>
    </message>
    <message>
        <source>(process %1)</source>
        <translation>(processo %1)</translation>
    </message>
    <message>
        <source>The connection to the VPN service could not be set up.</source>
        <translation>Non è stato possibile impostare la connessione al servizio VPN.</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>%1 Settings</source>
        <translation>%1 – Impostazioni</translation>
    </message>
    <message>
        <source>Applications</source>
        <translation>Applicazioni</translation>
    </message>
    <message>
        <source>User information</source>
        <translation>Dati utente</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>Registro</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nome</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>Nota</translation>
    </message>
    <message>
        <source>Default Location</source>
        <translation>Percorso predefinito</translation>
    </message>
    <message>
        <source>Custom Location</source>
        <translation>Percorso scelto</translation>
    </message>
    <message>
        <source>Reset Selected</source>
        <translation>Ripristina selezionate</translation>
    </message>
    <message>
        <source>Reset All</source>
        <translation>Ripristina tutte</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Old password</source>
        <translation>Password attuale</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>Nuova password</translation>
    </message>
    <message>
        <source>Confirm password</source>
        <translation>Ripeti password</translation>
    </message>
    <message>
        <source>Change password</source>
        <translation>Cambia password</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Conferma</translation>
    </message>
    <message>
        <source>Do you really want to reset the selected applications?</source>
        <translation>Ripristinare davvero le applicazioni selezionate?</translation>
    </message>
    <message>
        <source>Do you really want to reset ALL applications?</source>
        <translation>Ripristinare davvero TUTTE le applicazioni?</translation>
    </message>
    <message>
        <source>Do you really want to change your password?</source>
        <translation>Cambiare davvero la password?</translation>
    </message>
    <message>
        <source>Incorrect Old password!</source>
        <translation>La password attuale è errata!</translation>
    </message>
    <message>
        <source>Password reentered incorrectly!</source>
        <translation>Le password non coincidono!</translation>
    </message>
    <message>
        <source>The location could not be saved: %1</source>
        <translation>Impossibile salvare il percorso: %1</translation>
    </message>
    <message>
        <source>The applications could not be reset: %1</source>
        <translation>Impossibile ripristinare le applicazioni: %1</translation>
    </message>
</context>
<context>
    <name>libvelcor</name>
    <message>
        <source>Unknown</source>
        <translation>Sconosciuto</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Inattivo</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Errore</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Connessione in corso</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Riconnessione in corso</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Connesso</translation>
    </message>
</context>
<context>
    <name>libvelcor::Client</name>
    <message>
        <source>Invalid web request address</source>
        <translation>Indirizzo della richiesta web non valido</translation>
    </message>
    <message>
        <source>The reply from %1 is too large</source>
        <translation>La risposta di %1 è troppo grande</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>più di %1 byte</translation>
    </message>
    <message>
        <source>No answer from %1</source>
        <translation>Nessuna risposta da %1</translation>
    </message>
    <message>
        <source>the request timed out after %1 seconds</source>
        <translation>la richiesta è scaduta dopo %1 secondi</translation>
    </message>
    <message>
        <source>The server answered %1 %2 to %3</source>
        <translation>Il server ha risposto %1 %2 a %3</translation>
    </message>
    <message>
        <source>HTTP status %1</source>
        <translation>Stato HTTP %1</translation>
    </message>
    <message>
        <source>network error %1: %2</source>
        <translation>errore di rete %1: %2</translation>
    </message>
    <message>
        <source>The request to %1 failed</source>
        <translation>La richiesta a %1 non è riuscita</translation>
    </message>
    <message>
        <source>%1 sent the request on to another server, %2: it was not followed</source>
        <translation>%1 ha inoltrato la richiesta a un altro server, %2: l&apos;inoltro non è stato seguito</translation>
    </message>
    <message>
        <source>nothing was sent there: a request goes with its form, cookies and headers only to its own server</source>
        <translation>lì non è stato inviato nulla: una richiesta va con il suo modulo, i suoi cookie e le sue intestazioni solo al proprio server</translation>
    </message>
    <message>
        <source>%1 answered the form with another page, %2</source>
        <translation>%1 ha risposto al modulo con un&apos;altra pagina, %2</translation>
    </message>
    <message>
        <source>a redirect that makes the form a request for a page is no answer to it</source>
        <translation>un inoltro che fa del modulo una richiesta di pagina non è una risposta al modulo</translation>
    </message>
    <message>
        <source>%1 sent the request on more than %2 times, the last to %3: it was not followed</source>
        <translation>%1 ha inoltrato la richiesta più di %2 volte, l&apos;ultima a %3: l&apos;inoltro non è stato seguito</translation>
    </message>
    <message>
        <source>%1 asks for https, %2: the form was not sent there</source>
        <translation>%1 richiede https, %2: il modulo non è stato inviato lì</translation>
    </message>
    <message>
        <source>its %1 answer would send the form on as a request for a page; a server that moves a form to https keeps it with 307 or 308</source>
        <translation>la sua risposta %1 inoltrerebbe il modulo come richiesta di una pagina; un server che sposta un modulo su https lo conserva con 307 o 308</translation>
    </message>
    <message>
        <source>HTTP status %1: no answer to the request, nor a redirect that is followed</source>
        <translation>Stato HTTP %1: nessuna risposta alla richiesta, né un inoltro che venga seguito</translation>
    </message>
</context>
<context>
    <name>libvelcor::detail::ServiceConnection</name>
    <message>
        <source>Nothing is sent to the local service at %1: the program listening there does not belong to this user or to the system</source>
        <translation>Non viene inviato nulla al servizio locale su %1: il programma in ascolto non appartiene né a questo utente né al sistema</translation>
    </message>
</context>
<context>
    <name>profilesDialog</name>
    <message>
        <source>Browse</source>
        <translation>Sfoglia</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Connessione</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Avanzate</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
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
        <translation>Nome</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>Nota</translation>
    </message>
    <message>
        <source>Default Location</source>
        <translation>Percorso predefinito</translation>
    </message>
    <message>
        <source>Custom Location</source>
        <translation>Percorso scelto</translation>
    </message>
    <message>
        <source>Reset Selected</source>
        <translation>Ripristina selezionate</translation>
    </message>
    <message>
        <source>Reset All</source>
        <translation>Ripristina tutte</translation>
    </message>
    <message>
        <source>Page</source>
        <translation>Pagina</translation>
    </message>
</context>
</TS>
