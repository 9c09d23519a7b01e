<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>AdvForm</name>
    <message numerus="yes">
        <source>%1 seconds</source>
        <translation>
            <numerusform>%1 second</numerusform>
            <numerusform>%1 seconds</numerusform>
        </translation>
    </message>
    <message>
        <source>General</source>
        <translation>General</translation>
    </message>
    <message>
        <source>Proxy</source>
        <translation>Proxy</translation>
    </message>
    <message>
        <source>VPN Connection Timeout</source>
        <translation>VPN Connection Timeout</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Enable proxy</source>
        <translation>Enable proxy</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Server port</translation>
    </message>
    <message>
        <source>Server type</source>
        <translation>Server type</translation>
    </message>
    <message>
        <source>Authentication</source>
        <translation>Authentication</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Username</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Language changed</source>
        <translation>Language changed</translation>
    </message>
    <message>
        <source>The changes take effect after the next Restart</source>
        <translation>The changes take effect after the next restart.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>The setting could not be saved: %1</source>
        <translation>The setting could not be saved: %1</translation>
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
        <translation>Enable logging</translation>
    </message>
    <message>
        <source>Verbosity</source>
        <translation>Verbosity</translation>
    </message>
    <message>
        <source>Timestamp</source>
        <translation>Timestamp</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Copy log to clipboard</source>
        <translation>Copy log to clipboard</translation>
    </message>
    <message>
        <source>Save log to file</source>
        <translation>Save log to file</translation>
    </message>
    <message>
        <source>Clear log</source>
        <translation>Clear log</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>The log could not be saved to %1:
%2</source>
        <translation>The log could not be saved to %1:
%2</translation>
    </message>
    <message>
        <source>The setting could not be saved, and holds only until the program ends: %1</source>
        <translation>The setting could not be saved, and holds only until the program ends: %1</translation>
    </message>
</context>
<context>
    <name>LoginForm</name>
    <message>
        <source>Username / Password</source>
        <translation>Username / Password</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Choose a connection profile or create a new one:</source>
        <translation>Choose a connection profile or create a new one:</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>Close the connection to modify profiles</source>
        <translation>Close the connection to modify profiles</translation>
    </message>
    <message>
        <source>PKCS#12 password</source>
        <translation>PKCS#12 password</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>The profiles could not be read: %1</source>
        <translation>The profiles could not be read: %1</translation>
    </message>
    <message>
        <source>The profile %1 no longer exists. Choose a profile and sign in again.</source>
        <translation>The profile %1 no longer exists. Choose a profile and sign in again.</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>SIGN IN</source>
        <translation>SIGN IN</translation>
    </message>
    <message>
        <source>CANCEL</source>
        <translation>CANCEL</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Reconnecting</translation>
    </message>
    <message>
        <source>LOGOUT</source>
        <translation>LOGOUT</translation>
    </message>
    <message>
        <source>Reconnection in progress</source>
        <translation>Reconnection in progress</translation>
    </message>
    <message>
        <source>Connection established %1 ago.</source>
        <translation>Connection established %1 ago.</translation>
    </message>
    <message>
        <source>Connection established by %1 %2 ago.</source>
        <translation>Connection established by %1 %2 ago.</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>Select output file</source>
        <translation>Select output file</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>The page could not be opened in a web browser. Its address:

%1</source>
        <translation>The page could not be opened in a web browser. Its address:

%1</translation>
    </message>
    <message>
        <source>PORTAL</source>
        <translation>PORTAL</translation>
    </message>
    <message>
        <source>Signing out</source>
        <translation>Signing out</translation>
    </message>
</context>
<context>
    <name>ORVO::ApiManager</name>
    <message>
        <source>The client cannot listen for the service&apos;s requests on 127.0.0.1: %1</source>
        <translation>The client cannot listen for the service&apos;s requests on 127.0.0.1: %1</translation>
    </message>
</context>
<context>
    <name>ORVO::ConfigPlugin</name>
    <message>
        <source>Applications</source>
        <translation>Applications</translation>
    </message>
    <message>
        <source>Application Profiles</source>
        <translation>Application Profiles</translation>
    </message>
    <message>
        <source>Connections</source>
        <translation>Connections</translation>
    </message>
    <message>
        <source>Devices</source>
        <translation>Devices</translation>
    </message>
    <message>
        <source>Device Groups</source>
        <translation>Device Groups</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Users</source>
        <translation>Users</translation>
    </message>
    <message>
        <source>User Groups</source>
        <translation>User Groups</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>The management server has ended the session. Please sign in again.</source>
        <translation>The management server has ended the session. Please sign in again.</translation>
    </message>
</context>
<context>
    <name>ORVO::Gui</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>No one can answer in command-line mode: answered no.</source>
        <translation>No one can answer in command-line mode: answered no.</translation>
    </message>
    <message>
        <source>Password successfully changed for user: </source>
        <translation>Password successfully changed for user: </translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Connect Service is attemping to run the following action:</source>
        <translation>Connect Service is attemping to run the following action:</translation>
    </message>
    <message>
        <source>Connect Service is attemping to close the following action:</source>
        <translation>Connect Service is attemping to close the following action:</translation>
    </message>
    <message>
        <source>Refused: no one can confirm an action in command-line mode.</source>
        <translation>Refused: no one can confirm an action in command-line mode.</translation>
    </message>
    <message numerus="yes">
        <source>Allow action execution? (Autoaccept in %1 seconds)</source>
        <translation>
            <numerusform>Allow action execution? (Autoaccept in %1 second)</numerusform>
            <numerusform>Allow action execution? (Autoaccept in %1 seconds)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ORVO::LodestarApi</name>
    <message>
        <source>Failed logging in</source>
        <translation>Failed logging in</translation>
    </message>
    <message>
        <source>Failed logging out</source>
        <translation>Failed logging out</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Failed changing password</translation>
    </message>
    <message>
        <source>The management server refused the user name or password</source>
        <translation>The management server refused the user name or password</translation>
    </message>
    <message>
        <source>The management server&apos;s answer is not the change&apos;s result</source>
        <translation>The management server&apos;s answer is not the change&apos;s result</translation>
    </message>
    <message>
        <source>%1: the new password may be in force.</source>
        <translation>%1: the new password may be in force.</translation>
    </message>
</context>
<context>
    <name>ORVO::LoginPlugin</name>
    <message>
        <source>LOGIN</source>
        <translation>LOGIN</translation>
    </message>
    <message>
        <source>ADVANCED</source>
        <translation>ADVANCED</translation>
    </message>
    <message>
        <source>LOGS</source>
        <translation>LOGS</translation>
    </message>
</context>
<context>
    <name>ORVO::Manager</name>
    <message>
        <source>Untrusted Server!</source>
        <translation>Untrusted Server!</translation>
    </message>
    <message>
        <source>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</source>
        <translation>To avoid this warning, add a trusted CA Certificate to the Connection Profile or disable server certificate verification (NOT recommended)</translation>
    </message>
    <message>
        <source>Do you still want to continue?</source>
        <translation>Do you still want to continue?</translation>
    </message>
</context>
<context>
    <name>ORVO::NetworkManager</name>
    <message>
        <source>No error</source>
        <translation>No error</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Bad parameters</translation>
    </message>
    <message>
        <source>Error in request</source>
        <translation>Error in request</translation>
    </message>
    <message>
        <source>Error in reply</source>
        <translation>Error in reply</translation>
    </message>
    <message>
        <source>System error</source>
        <translation>System error</translation>
    </message>
    <message>
        <source>The server answered with status %1 instead of the file.</source>
        <translation>The server answered with status %1 instead of the file.</translation>
    </message>
    <message>
        <source>The download was redirected to an address that cannot be fetched: %1</source>
        <translation>The download was redirected to an address that cannot be fetched: %1</translation>
    </message>
    <message>
        <source>The download was redirected from a secure address to an insecure one: %1</source>
        <translation>The download was redirected from a secure address to an insecure one: %1</translation>
    </message>
    <message>
        <source>The download was redirected too many times: %1</source>
        <translation>The download was redirected too many times: %1</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>The server&apos;s own file was sent on to another server, %1: it was not followed</source>
        <translation>The server&apos;s own file was sent on to another server, %1: it was not followed</translation>
    </message>
</context>
<context>
    <name>ORVO::PluginWindow</name>
    <message>
        <source>Refresh</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Logout</source>
        <translation>Logout</translation>
    </message>
    <message>
        <source>Signing out</source>
        <translation>Signing out</translation>
    </message>
</context>
<context>
    <name>ORVO::ProcessManager</name>
    <message>
        <source>Select executable file</source>
        <translation>Select executable file</translation>
    </message>
    <message>
        <source>No error</source>
        <translation>No error</translation>
    </message>
    <message>
        <source>Bad parameters</source>
        <translation>Bad parameters</translation>
    </message>
    <message>
        <source>Out of memory</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>Specified action already running for given endpoint</source>
        <translation>Specified action already running for given endpoint</translation>
    </message>
    <message>
        <source>Not a valid executable</source>
        <translation>Not a valid executable</translation>
    </message>
    <message>
        <source>Error running process</source>
        <translation>Error running process</translation>
    </message>
    <message>
        <source>The program location could not be saved</source>
        <translation>The program location could not be saved</translation>
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
        <translation>Confirmation</translation>
    </message>
</context>
<context>
    <name>ORVO::SignInManager</name>
    <message>
        <source>No portal yet: the local service did not give the connection&apos;s configuration in time. It is asked again; signing out and in again starts over.</source>
        <translation>No portal yet: the local service did not give the connection&apos;s configuration in time. It is asked again; signing out and in again starts over.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the local service did not give its configuration (code %1). Sign out and in again to try again.</source>
        <translation>No portal comes for this connection: the local service did not give its configuration (code %1). Sign out and in again to try again.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: its configuration names no management server. Sign out and in again to try again.</source>
        <translation>No portal comes for this connection: its configuration names no management server. Sign out and in again to try again.</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service cannot be reached</source>
        <translation>Cannot sign in: the local service cannot be reached</translation>
    </message>
    <message>
        <source>Cannot sign in: no credential was given</source>
        <translation>Cannot sign in: no credential was given</translation>
    </message>
    <message>
        <source>This connection was not started by a sign-in here. Sign out and in again to open the portal.</source>
        <translation>This connection was not started by a sign-in here. Sign out and in again to open the portal.</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service refused the credential</source>
        <translation>Cannot sign in: the local service refused the credential</translation>
    </message>
    <message>
        <source>Cannot sign in: the local service did not answer in time</source>
        <translation>Cannot sign in: the local service did not answer in time</translation>
    </message>
    <message>
        <source>Cannot sign in: too many requests are waiting for the local service</source>
        <translation>Cannot sign in: too many requests are waiting for the local service</translation>
    </message>
    <message>
        <source>Cannot sign in: the credential could not be sent</source>
        <translation>Cannot sign in: the credential could not be sent</translation>
    </message>
    <message>
        <source>Failed changing password</source>
        <translation>Failed changing password</translation>
    </message>
    <message>
        <source>The password can be changed only while signed in, once the sign-in or sign-out under way is over.</source>
        <translation>The password can be changed only while signed in, once the sign-in or sign-out under way is over.</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the service now names another management server (%1) than the one this sign-in began with (%2). Sign out and in again to sign in there.</source>
        <translation>No portal comes for this connection: the service now names another management server (%1) than the one this sign-in began with (%2). Sign out and in again to sign in there.</translation>
    </message>
    <message>
        <source>The connection ended before the management server answered</source>
        <translation>The connection ended before the management server answered</translation>
    </message>
    <message>
        <source>No portal comes for this connection: the local service runs it on its fallback connection, for which its configuration names no management server. Sign out and in again to try again.</source>
        <translation>No portal comes for this connection: the local service runs it on its fallback connection, for which its configuration names no management server. Sign out and in again to try again.</translation>
    </message>
</context>
<context>
    <name>ORVO::SystemTray</name>
    <message>
        <source>Show Connect App</source>
        <translation>Show Connect App</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Connected to:</source>
        <translation>Connected to:</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Username:</translation>
    </message>
    <message>
        <source>Connected since:</source>
        <translation>Connected since:</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>ProfilesDialog</name>
    <message>
        <source>%1 Connection Profiles</source>
        <translation>%1 – Connection Profiles</translation>
    </message>
    <message>
        <source>Profile name</source>
        <translation>Profile name</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>From files</source>
        <translation>From files</translation>
    </message>
    <message>
        <source>Configuration mode</source>
        <translation>Configuration mode</translation>
    </message>
    <message>
        <source>Server address</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>CA Certificate file...</source>
        <translation>CA Certificate file...</translation>
    </message>
    <message>
        <source>Manual authentication</source>
        <translation>Manual authentication</translation>
    </message>
    <message>
        <source>Username / Password</source>
        <translation>Username / Password</translation>
    </message>
    <message>
        <source>Certificate</source>
        <translation>Certificate</translation>
    </message>
    <message>
        <source>Authentication type</source>
        <translation>Authentication type</translation>
    </message>
    <message>
        <source>Username</source>
        <translation>Username</translation>
    </message>
    <message>
        <source>Remember password</source>
        <translation>Remember password</translation>
    </message>
    <message>
        <source>Select a PKCS#12 file</source>
        <translation>Select a PKCS#12 file</translation>
    </message>
    <message>
        <source>Server port</source>
        <translation>Server port</translation>
    </message>
    <message>
        <source>Verify server certificate when connecting</source>
        <translation>Verify server certificate when connecting</translation>
    </message>
    <message>
        <source>Tunnel device</source>
        <translation>Tunnel device</translation>
    </message>
    <message>
        <source>Protocol</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Enable LZO compression</source>
        <translation>Enable LZO compression</translation>
    </message>
    <message>
        <source>Set routes automatically</source>
        <translation>Set routes automatically</translation>
    </message>
    <message>
        <source>Enable fallback server</source>
        <translation>Enable fallback server</translation>
    </message>
    <message>
        <source>Fallback server</source>
        <translation>Fallback server</translation>
    </message>
    <message>
        <source>Fallback port</source>
        <translation>Fallback port</translation>
    </message>
    <message>
        <source>Fallback protocol</source>
        <translation>Fallback protocol</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Undefined fields in profile</source>
        <translation>Undefined fields in profile</translation>
    </message>
    <message>
        <source>Select one or more configuration files</source>
        <translation>Select one or more configuration files</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>No valid OpenVPN configuration file detected!</source>
        <translation>No valid OpenVPN configuration file detected!</translation>
    </message>
    <message>
        <source>Select a CA certificate file</source>
        <translation>Select a CA certificate file</translation>
    </message>
    <message>
        <source>PEM File (*.pem)</source>
        <translation>PEM File (*.pem)</translation>
    </message>
    <message>
        <source>Chosen file is not readable or does not contain valid certificates!</source>
        <translation>Chosen file is not readable or does not contain valid certificates!</translation>
    </message>
    <message>
        <source>PKCS#12 File (*.p12)</source>
        <translation>PKCS#12 File (*.p12)</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) loaded</source>
        <translation>
            <numerusform>%n file loaded</numerusform>
            <numerusform>%n files loaded</numerusform>
        </translation>
    </message>
    <message>
        <source>PKCS#12 password</source>
        <translation>PKCS#12 password</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>The profiles could not be written: %1</source>
        <translation>The profiles could not be written: %1</translation>
    </message>
    <message>
        <source>The profile %1 could not be written: %2</source>
        <translation>The profile %1 could not be written: %2</translation>
    </message>
    <message>
        <source>The name %1 cannot be used: another profile has it.</source>
        <translation>The name %1 cannot be used: another profile has it.</translation>
    </message>
    <message>
        <source>The name %1 cannot be used: a profile of that name is on disk and cannot be read.</source>
        <translation>The name %1 cannot be used: a profile of that name is on disk and cannot be read.</translation>
    </message>
    <message>
        <source>The server address cannot be used: give a host name or an IP address, without blanks or control characters.</source>
        <translation>The server address cannot be used: give a host name or an IP address, without blanks or control characters.</translation>
    </message>
    <message>
        <source>Press OK to keep your changes or Cancel to drop them, then sign in.</source>
        <translation>Press OK to keep your changes or Cancel to drop them, then sign in.</translation>
    </message>
    <message>
        <source>A profile needs a name.</source>
        <translation>A profile needs a name.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>None</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Network Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Process Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>API Manager</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>High</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Normal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>new profile %1</source>
        <translation>new profile %1</translation>
    </message>
    <message>
        <source>Fatal error</source>
        <translation>Fatal error</translation>
    </message>
    <message>
        <source>Missing configuration file: </source>
        <translation>Missing configuration file: </translation>
    </message>
    <message numerus="yes">
        <source>%n day(s)</source>
        <translation>
            <numerusform>%n day</numerusform>
            <numerusform>%n days</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 is already running for this user.</source>
        <translation>%1 is already running for this user.</translation>
    </message>
    <message>
        <source>(process %1)</source>
        <translation>(process %1)</translation>
    </message>
    <message>
        <source>The connection to the VPN service could not be set up.</source>
        <translation>The connection to the VPN service could not be set up.</translation>
    </message>
</context>
<context>
    <name>SettingsDialog</name>
    <message>
        <source>%1 Settings</source>
        <translation>%1 Settings</translation>
    </message>
    <message>
        <source>Applications</source>
        <translation>Applications</translation>
    </message>
    <message>
        <source>User information</source>
        <translation>User information</translation>
    </message>
    <message>
        <source>Logs</source>
        <translation>Logs</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Remark</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>Default Location</source>
        <translation>Default Location</translation>
    </message>
    <message>
        <source>Custom Location</source>
        <translation>Custom Location</translation>
    </message>
    <message>
        <source>Reset Selected</source>
        <translation>Reset Selected</translation>
    </message>
    <message>
        <source>Reset All</source>
        <translation>Reset All</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Old password</source>
        <translation>Old password</translation>
    </message>
    <message>
        <source>New password</source>
        <translation>New password</translation>
    </message>
    <message>
        <source>Confirm password</source>
        <translation>Confirm password</translation>
    </message>
    <message>
        <source>Change password</source>
        <translation>Change password</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Confirmation</source>
        <translation>Confirmation</translation>
    </message>
    <message>
        <source>Do you really want to reset the selected applications?</source>
        <translation>Do you really want to reset the selected applications?</translation>
    </message>
    <message>
        <source>Do you really want to reset ALL applications?</source>
        <translation>Do you really want to reset ALL applications?</translation>
    </message>
    <message>
        <source>Do you really want to change your password?</source>
        <translation>Do you really want to change your password?</translation>
    </message>
    <message>
        <source>Incorrect Old password!</source>
        <translation>Incorrect Old password!</translation>
    </message>
    <message>
        <source>Password reentered incorrectly!</source>
        <translation>Password reentered incorrectly!</translation>
    </message>
    <message>
        <source>The location could not be saved: %1</source>
        <translation>The location could not be saved: %1</translation>
    </message>
    <message>
        <source>The applications could not be reset: %1</source>
        <translation>The applications could not be reset: %1</translation>
    </message>
</context>
<context>
    <name>libvelcor</name>
    <message>
        <source>Unknown</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>Idle</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Connecting</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <source>Reconnecting</source>
        <translation>Reconnecting</translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Connected</translation>
    </message>
</context>
<context>
    <name>libvelcor::Client</name>
    <message>
        <source>Invalid web request address</source>
        <translation>Invalid web request address</translation>
    </message>
    <message>
        <source>The reply from %1 is too large</source>
        <translation>The reply from %1 is too large</translation>
    </message>
    <message>
        <source>more than %1 bytes</source>
        <translation>more than %1 bytes</translation>
    </message>
    <message>
        <source>No answer from %1</source>
        <translation>No answer from %1</translation>
    </message>
    <message>
        <source>the request timed out after %1 seconds</source>
        <translation>the request timed out after %1 seconds</translation>
    </message>
    <message>
        <source>The server answered %1 %2 to %3</source>
        <translation>The server answered %1 %2 to %3</translation>
    </message>
    <message>
        <source>HTTP status %1</source>
        <translation>HTTP status %1</translation>
    </message>
    <message>
        <source>network error %1: %2</source>
        <translation>network error %1: %2</translation>
    </message>
    <message>
        <source>The request to %1 failed</source>
        <translation>The request to %1 failed</translation>
    </message>
    <message>
        <source>%1 sent the request on to another server, %2: it was not followed</source>
        <translation>%1 sent the request on to another server, %2: it was not followed</translation>
    </message>
    <message>
        <source>nothing was sent there: a request goes with its form, cookies and headers only to its own server</source>
        <translation>nothing was sent there: a request goes with its form, cookies and headers only to its own server</translation>
    </message>
    <message>
        <source>%1 answered the form with another page, %2</source>
        <translation>%1 answered the form with another page, %2</translation>
    </message>
    <message>
        <source>a redirect that makes the form a request for a page is no answer to it</source>
        <translation>a redirect that makes the form a request for a page is no answer to it</translation>
    </message>
    <message>
        <source>%1 sent the request on more than %2 times, the last to %3: it was not followed</source>
        <translation>%1 sent the request on more than %2 times, the last to %3: it was not followed</translation>
    </message>
    <message>
        <source>%1 asks for https, %2: the form was not sent there</source>
        <translation>%1 asks for https, %2: the form was not sent there</translation>
    </message>
    <message>
        <source>its %1 answer would send the form on as a request for a page; a server that moves a form to https keeps it with 307 or 308</source>
        <translation>its %1 answer would send the form on as a request for a page; a server that moves a form to https keeps it with 307 or 308</translation>
    </message>
    <message>
        <source>HTTP status %1: no answer to the request, nor a redirect that is followed</source>
        <translation>HTTP status %1: no answer to the request, nor a redirect that is followed</translation>
    </message>
</context>
<context>
    <name>libvelcor::detail::ServiceConnection</name>
    <message>
        <source>Nothing is sent to the local service at %1: the program listening there does not belong to this user or to the system</source>
        <translation>Nothing is sent to the local service at %1: the program listening there does not belong to this user or to the system</translation>
    </message>
</context>
<context>
    <name>profilesDialog</name>
    <message>
        <source>Browse</source>
        <translation>Browse</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Advanced</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>Ok</translation>
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
        <translation>Remark</translation>
    </message>
    <message>
        <source>Default Location</source>
        <translation>Default Location</translation>
    </message>
    <message>
        <source>Custom Location</source>
        <translation>Custom Location</translation>
    </message>
    <message>
        <source>Reset Selected</source>
        <translation>Reset Selected</translation>
    </message>
    <message>
        <source>Reset All</source>
        <translation>Reset All</translation>
    </message>
    <message>
        <source>Page</source>
        <translation>Page</translation>
    </message>
</context>
</TS>
