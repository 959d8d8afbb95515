// product.xml as a site engineer leaves it after commissioning: the system's tasks with their
// definition files, some switched off inside comments, notes between the groups.
#include "SimProduct.h"

#include <vector>

namespace sim {

std::string ProductXml() {
    const std::vector<std::string> lines = {
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
        "<!-- Corvane product tasks. The service starts every task listed here when the system",
        "     starts; a task inside a comment is switched off. Edit with care. -->",
        "<ProductTasks>",
        "",
        "  <!-- Core -->",
        "  <Task taskName=\"Kernel\" mandatory=\"true\" description=\"Runtime core: memory pools, "
        "scheduling of applications and their states.\">kernel\\kernel.tsk</Task>",
        "  <Task taskName=\"Scheduler\" mandatory=\"true\" depends=\"Kernel\" description=\"Cyclic and "
        "timed jobs of all applications.\">kernel\\scheduler.tsk</Task>",
        "  <Task taskName=\"Historian\" depends=\"Kernel Scheduler\" description=\"Stores process values "
        "and events in the history database.\">history\\historian.tsk</Task>",
        "",
        "  <!-- Field communication -->",
        "  <Task taskName=\"ModbusDriver\" depends=\"Kernel\" description=\"Modbus TCP and RTU field "
        "devices.\">drivers\\modbus.tsk</Task>",
        "  <Task taskName=\"IEC104Driver\" depends=\"Kernel\" description=\"IEC 60870-5-104 telecontrol "
        "stations.\">drivers\\iec104.tsk</Task>",
        "  <!--<Task taskName=\"DNP3Driver\" depends=\"Kernel\" description=\"DNP3 outstations over "
        "TCP.\">drivers\\dnp3.tsk</Task>-->",
        "  <!--<Task taskName=\"OpcUaServer\" depends=\"Kernel Historian WebGateway\" description=\"OPC UA "
        "server for third-party clients.\">gateways\\opcua.tsk</Task>-->",
        "",
        "  <!-- Operation -->",
        "  <Task taskName=\"AlarmServer\" depends=\"Kernel Historian\" description=\"Evaluates alarm "
        "conditions, keeps the alarm list and acknowledgements.\">alarms\\alarmserver.tsk</Task>",
        "  <Task taskName=\"ReportGenerator\" depends=\"Historian AlarmServer\" description=\"Daily and "
        "monthly reports as PDF.\">reports\\reports.tsk</Task>",
        "  <Task taskName=\"WebGateway\" depends=\"Kernel AlarmServer\" description=\"Serves the operator "
        "pages to the web server.\">web\\gateway.tsk</Task>",
        "  <Task taskName=\"calculations\" depends=\"Kernel Historian\" description=\"Formula tags and "
        "derived values.\">calc\\calculations.tsk</Task>",
        "  <!--<Task taskName=\"MobileNotifier\" depends=\"AlarmServer SmsGateway\" description=\"Sends "
        "alarms to the on-call phones.\">alarms\\mobile.tsk</Task>-->",
        "",
        "  <!-- Redundancy and archive -->",
        "  <Task taskName=\"Redundancy\" depends=\"Kernel Historian AlarmServer\" description=\"Hot "
        "stand-by: keeps the second server in step.\">kernel\\redundancy.tsk</Task>",
        "  <Task taskName=\"ArchiveExport\" depends=\"Historian\" description=\"Moves closed history "
        "partitions to the archive share.\">history\\export.tsk</Task>",
        "  <Task taskName=\"EventLogBridge\" depends=\"Kernel\" description=\"Writes system events to "
        "the Windows event log.\">kernel\\eventlog.tsk</Task>",
        "",
        "  <!-- Retired in 4.2, kept for reference:",
        "  <Task taskName=\"LegacyPager\" depends=\"AlarmServer\">alarms\\pager.tsk</Task>",
        "  <Task taskName=\"LegacyDialer\" depends=\"AlarmServer\">alarms\\dialer.tsk</Task>",
        "  -->",
        "</ProductTasks>",
    };
    std::string s;
    for (const auto& l : lines)
        s += l + "\r\n";
    return s;
}

} // namespace sim
