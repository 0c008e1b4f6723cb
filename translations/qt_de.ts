<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AboutWindow</name>
    <message>
        <source>ABOUT</source>
        <translation>ÜBER</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Kestrix Command Center is made by Velmora.</source>
        <translation>Kestrix Command Center ist ein Produkt von Velmora.</translation>
    </message>
    <message>
        <source>© 2026 Velmora. All rights reserved.</source>
        <translation>© 2026 Velmora. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <source>Licensed to the user of a Kestrix adapter.</source>
        <translation>Lizenziert für Nutzer eines Kestrix-Adapters.</translation>
    </message>
</context>
<context>
    <name>AppGridView</name>
    <message>
        <source>CRITICAL PRIORITY APPS</source>
        <translation>APPS MIT KRITISCHER PRIORITÄT</translation>
    </message>
    <message>
        <source>Choosing the CRITICAL PRIORITY level prioritizes the use of maximum bandwidth usage, lowers latency, and provides for smoother gameplay.</source>
        <translation>Die Stufe KRITISCHE PRIORITÄT räumt der Anwendung die maximale Bandbreite ein, senkt die Latenz und sorgt für ein flüssigeres Spielerlebnis.</translation>
    </message>
    <message>
        <source>HIGH PRIORITY APPS</source>
        <translation>APPS MIT HOHER PRIORITÄT</translation>
    </message>
    <message>
        <source>Choosing the HIGH PRIORITY level ensures high-bandwidth usage, and provides for optimal web-surfing and video streaming.</source>
        <translation>Die Stufe HOHE PRIORITÄT sichert eine hohe Bandbreite und sorgt für optimales Surfen im Web und Video-Streaming.</translation>
    </message>
    <message>
        <source>NORMAL PRIORITY APPS</source>
        <translation>APPS MIT NORMALER PRIORITÄT</translation>
    </message>
    <message>
        <source>Choosing the NORMAL PRIORITY level provides moderate bandwidth usage for use with social media applications.</source>
        <translation>Die Stufe NORMALE PRIORITÄT bietet eine moderate Bandbreite für die Nutzung von Social-Media-Anwendungen.</translation>
    </message>
    <message>
        <source>LOW PRIORITY APPS</source>
        <translation>APPS MIT NIEDRIGER PRIORITÄT</translation>
    </message>
    <message>
        <source>Choosing the LOW PRIORITY level selects the lowest bandwidth usage for performing tasks like file sharing and updating software.</source>
        <translation>Die Stufe NIEDRIGE PRIORITÄT weist die geringste Bandbreite zu, etwa für Aufgaben wie Dateifreigaben und Software-Updates.</translation>
    </message>
</context>
<context>
    <name>AppListView</name>
    <message>
        <source>PRIORITY</source>
        <translation>PRIORITÄT</translation>
    </message>
    <message>
        <source>APPLICATION NAME</source>
        <translation>ANWENDUNGSNAME</translation>
    </message>
    <message>
        <source>UPLOAD SPEED</source>
        <translation>UPLOAD-RATE</translation>
    </message>
    <message>
        <source>DOWNLOAD SPEED</source>
        <translation>DOWNLOAD-RATE</translation>
    </message>
    <message>
        <source>OPTIONS</source>
        <translation>OPTIONEN</translation>
    </message>
</context>
<context>
    <name>AppSettings</name>
    <message>
        <source>Mbps</source>
        <translation>Mbps</translation>
    </message>
    <message>
        <source>NETWORK SETTINGS</source>
        <translation>NETZWERKEINSTELLUNGEN</translation>
    </message>
    <message>
        <source>SHAPER SETTINGS</source>
        <translation>SHAPER-EINSTELLUNGEN</translation>
    </message>
    <message>
        <source>Upload Speed Limit</source>
        <translation>Upload-Limit</translation>
    </message>
    <message>
        <source>Download Speed Limit</source>
        <translation>Download-Limit</translation>
    </message>
    <message>
        <source>UPLOAD</source>
        <translation>UPLOAD</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <translation>DOWNLOAD</translation>
    </message>
    <message>
        <source>SET SPEED LIMITS</source>
        <translation>LIMITS FESTLEGEN</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbruch</translation>
    </message>
    <message>
        <source>DETAILED INFO</source>
        <translation>DETAILS</translation>
    </message>
    <message>
        <source>ADAPTER</source>
        <translation>ADAPTER</translation>
    </message>
    <message>
        <source>IP ADDRESS</source>
        <translation>IP-ADRESSE</translation>
    </message>
    <message>
        <source>IP V6 ADDRESS</source>
        <translation>IPV6-ADRESSE</translation>
    </message>
    <message>
        <source>GATEWAY</source>
        <translation>GATEWAY</translation>
    </message>
    <message>
        <source>NETMASK</source>
        <translation>NETZMASKE</translation>
    </message>
    <message>
        <source>MAC ADDRESS</source>
        <translation>MAC-ADRESSE</translation>
    </message>
    <message>
        <source>VLROUTER</source>
        <translation>VLROUTER</translation>
    </message>
    <message>
        <source>ACTIVE</source>
        <translation>AKTIV</translation>
    </message>
    <message>
        <source>INACTIVE</source>
        <translation>INAKTIV</translation>
    </message>
    <message>
        <source>SYSTEM SETTINGS</source>
        <translation>SYSTEMEINSTELLUNGEN</translation>
    </message>
    <message>
        <source>START AT LOGIN</source>
        <translation>BEIM ANMELDEN STARTEN</translation>
    </message>
    <message>
        <source>SHOW SYSTEM APPLICATIONS</source>
        <translation>SYSTEMANWENDUNGEN ANZEIGEN</translation>
    </message>
    <message>
        <source>CHECK FOR UPDATES</source>
        <translation>NACH UPDATES SUCHEN</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
</context>
<context>
    <name>AppSpeedBar</name>
    <message>
        <source>U</source>
        <translation>U</translation>
    </message>
    <message>
        <source>D</source>
        <translation>D</translation>
    </message>
    <message>
        <source>Mbps</source>
        <translation>Mbps</translation>
    </message>
</context>
<context>
    <name>Footer</name>
    <message>
        <source>UPLOAD SPEED</source>
        <translation>UPLOAD-RATE</translation>
    </message>
    <message>
        <source>DOWNLOAD SPEED</source>
        <translation>DOWNLOAD-RATE</translation>
    </message>
</context>
<context>
    <name>Header</name>
    <message>
        <source>Grid view</source>
        <translation>Rasteransicht</translation>
    </message>
    <message>
        <source>List view</source>
        <translation>Listenansicht</translation>
    </message>
    <message>
        <source>SORTING BY</source>
        <translation>SORTIERT NACH</translation>
    </message>
</context>
<context>
    <name>HelpGettingStarted</name>
    <message>
        <source>GETTING STARTED</source>
        <translation>ERSTE SCHRITTE</translation>
    </message>
    <message>
        <source>Welcome to the Velmora Kestrix Command Center. The Command Center helps optimize your network settings and improve your gaming, streaming video, or web surfing experience when running a variety of applications. Please follow the on-screen instructions during initial setup of the utility.</source>
        <translation>Willkommen im Velmora Kestrix Command Center. Das Command Center hilft Ihnen, Ihre Netzwerkeinstellungen zu optimieren und Ihr Spiele-, Video-Streaming- oder Surferlebnis zu verbessern, während Sie die unterschiedlichsten Anwendungen nutzen. Bitte folgen Sie bei der Ersteinrichtung des Programms den Anweisungen auf dem Bildschirm.</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
</context>
<context>
    <name>HelpGridView</name>
    <message>
        <source>HELP</source>
        <translation>HILFE</translation>
    </message>
    <message>
        <source>Use Command Center to set priority levels for your applications. Selecting CRITICAL PRIORITY for a game improves your gaming experience. Once you have set the priority, use the pin icon to force the rank within each particular priority. Once pinned, an application remains at that rank until you change it.</source>
        <translation>Legen Sie mit dem Command Center Prioritätsstufen für Ihre Anwendungen fest. Mit KRITISCHER PRIORITÄT für ein Spiel verbessern Sie Ihr Spielerlebnis. Nachdem Sie die Priorität festgelegt haben, können Sie mit dem Pin-Symbol den Rang innerhalb der jeweiligen Priorität festhalten. Eine angeheftete Anwendung behält diesen Rang, bis Sie ihn ändern.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>HelpListView</name>
    <message>
        <source>HELP</source>
        <translation>HILFE</translation>
    </message>
    <message>
        <source>Use Command Center to set priority levels for your applications. Selecting CRITICAL PRIORITY for a game improves your gaming experience. Once you have set the priority, use the pin icon to force the rank within each particular priority. Once pinned, an application remains at that rank until you change it.</source>
        <translation>Legen Sie mit dem Command Center Prioritätsstufen für Ihre Anwendungen fest. Mit KRITISCHER PRIORITÄT für ein Spiel verbessern Sie Ihr Spielerlebnis. Nachdem Sie die Priorität festgelegt haben, können Sie mit dem Pin-Symbol den Rang innerhalb der jeweiligen Priorität festhalten. Eine angeheftete Anwendung behält diesen Rang, bis Sie ihn ändern.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>HelpOverlay</name>
    <message>
        <source>Learn more</source>
        <translation>Mehr erfahren</translation>
    </message>
</context>
<context>
    <name>HelpSettings</name>
    <message>
        <source>SETTINGS HELP</source>
        <translation>HILFE ZU DEN EINSTELLUNGEN</translation>
    </message>
    <message>
        <source>Set the Download/Upload bandwidth settings for your Internet connection prior to use. To optimize your experience, we recommend setting download at 90% of your ISP speed. The NETWORK SETTINGS screen displays the adapter type, IPv6 address, MAC address, and other basic network setting information.</source>
        <translation>Legen Sie vor der Nutzung die Download- und Upload-Bandbreite Ihrer Internetverbindung fest. Für die besten Ergebnisse empfehlen wir, den Download auf 90 % der Geschwindigkeit Ihres Internetanbieters einzustellen. Die Seite NETZWERKEINSTELLUNGEN zeigt den Adaptertyp, die IPv6-Adresse, die MAC-Adresse und weitere grundlegende Netzwerkinformationen an.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>LibClient</name>
    <message>
        <source>NO KESTRIX ADAPTER FOUND</source>
        <translation>KEIN KESTRIX-ADAPTER GEFUNDEN</translation>
    </message>
    <message>
        <source>UNSUPPORTED CONFIGURATION</source>
        <translation>NICHT UNTERSTÜTZTE KONFIGURATION</translation>
    </message>
    <message>
        <source>NO LINK</source>
        <translation>KEINE VERBINDUNG</translation>
    </message>
    <message>
        <source>DRIVER NOT FOUND</source>
        <translation>TREIBER NICHT GEFUNDEN</translation>
    </message>
    <message>
        <source>CANNOT LOAD CALLOUT DRIVER</source>
        <translation>CALLOUT-TREIBER NICHT LADBAR</translation>
    </message>
    <message>
        <source>CANNOT LOAD FILTER DRIVER</source>
        <translation>FILTERTREIBER NICHT LADBAR</translation>
    </message>
</context>
<context>
    <name>PriorityItem</name>
    <message>
        <source>CRITICAL</source>
        <translation>KRITISCH</translation>
    </message>
    <message>
        <source>HIGH</source>
        <translation>HOCH</translation>
    </message>
    <message>
        <source>NORMAL</source>
        <translation>NORMAL</translation>
    </message>
    <message>
        <source>LOW</source>
        <translation>NIEDRIG</translation>
    </message>
</context>
<context>
    <name>ServiceState</name>
    <message>
        <source>SERVICE IS NOT READY</source>
        <translation>DIENST NICHT BEREIT</translation>
    </message>
    <message>
        <source>DATA RATE</source>
        <translation>DATENRATE</translation>
    </message>
    <message>
        <source>AVG. RATE</source>
        <translation>MITTL. RATE</translation>
    </message>
    <message>
        <source>MAX RATE</source>
        <translation>MAX. RATE</translation>
    </message>
</context>
<context>
    <name>SortWindow</name>
    <message>
        <source>SORT BY</source>
        <translation>SORTIEREN NACH</translation>
    </message>
    <message>
        <source>NAME (A-Z)</source>
        <translation>NAME (A-Z)</translation>
    </message>
    <message>
        <source>NAME (Z-A)</source>
        <translation>NAME (Z-A)</translation>
    </message>
    <message>
        <source>DOWNLOAD SPEED</source>
        <translation>DOWNLOAD-RATE</translation>
    </message>
    <message>
        <source>UPLOAD SPEED</source>
        <translation>UPLOAD-RATE</translation>
    </message>
</context>
<context>
    <name>SpeedChart</name>
    <message>
        <source>Mbps</source>
        <translation>Mbps</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>in Sek.</translation>
    </message>
    <message>
        <source>Gbps</source>
        <translation>Gbps</translation>
    </message>
    <message>
        <source>NOW</source>
        <translation>JETZT</translation>
    </message>
</context>
<context>
    <name>UpdateWindow</name>
    <message>
        <source>A new version of Kestrix Command Center is available.</source>
        <translation>Eine neue Version des Kestrix Command Center ist verfügbar.</translation>
    </message>
    <message>
        <source>Kestrix Command Center: update available</source>
        <translation>Kestrix Command Center: Update verfügbar</translation>
    </message>
    <message>
        <source>The Kestrix Command Center is currently updating.</source>
        <translation>Das Kestrix Command Center wird gerade aktualisiert.</translation>
    </message>
    <message>
        <source>The Kestrix Command Center downloading process has completed.</source>
        <translation>Der Download des Kestrix Command Center ist abgeschlossen.</translation>
    </message>
    <message>
        <source>The Kestrix Command Center downloading process failed.</source>
        <translation>Der Download des Kestrix Command Center ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Download and install</source>
        <translation>Herunterladen und installieren</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
</TS>
