// The sample installation's start-up and shutdown programs, in Lumo, as an installer and an
// administrator leave them: ANSI text with CR LF line ends. The start-up program keeps one
// slip its author made (a THEN with nothing after it on its line), as real programs do.
#include "SimScripts.h"

#include <string_view>

namespace {

// The program's lines joined by CR LF, a line end after the last; "{deg}" becomes the degree
// sign of the ANSI code page.
std::string Ansi(std::string_view text) {
    std::string s;
    if (!text.empty() && text.front() == '\n')
        text.remove_prefix(1);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        for (size_t i = start; i < end;) {
            if (text.substr(i, 5) == "{deg}") {
                s += '\xB0';
                i += 5;
            } else {
                s += text[i++];
            }
        }
        s += "\r\n";
        start = end + 1;
    }
    return s;
}

constexpr std::string_view KernelSetup = R"lumo(
;==============================================================================
; kernel_setup.lum
; Start-up program of the Corvane kernel. The service runs it once when the
; system starts, before the applications are brought hot.
;==============================================================================

#ARGUMENT START_MODE = "WARM", NODE_NR = 1
#LOCAL APL_COUNT = 4, I, J, RETRIES = 0, MAX_RETRIES = 3
#LOCAL POOL_SIZE = 512, WAIT_S = 1.5, -
       APL_NAMES = LIST("MAIN", "HIST", "SCHED", "REPORT"), -
       PRINTERS = VECTOR("PRN1", "PRN2")
#LOCAL MSG, OK = 1, NODE_NAME    ; filled from the node table

; --- Start-up record -----------------------------------------------------------
#SET MSG = "Kernel start-up on node " + NODE_NR + -
           ", start mode """ + START_MODE + """"
#PRINT MSG
#SET 'SYS':MODE = START_MODE
#SET 'SYS':START_TIME = %NOW
#SET 'SYS':NODE = NODE_NR

; --- Hot stand-by: the shadowing partner hears of the start first ---------------
#IF @SHADOWING == 1 AND NODE_NR > 1 #THEN
#BLOCK
   #SET 'SYS':SHADOW_PHASE = "SEND"
   #EXEC 'SHADOW':START
   #PAUSE 0.5
#BLOCK_END

; --- Memory pools (sizes in MB) ---------------------------------------------------
#IF POOL_SIZE < 256 #THEN #SET POOL_SIZE = 256
#IF POOL_SIZE > 2560 #THEN #SET POOL_SIZE = 2560
#SET 'SYS':POOL = POOL_SIZE
#SET 'SYS':PRIVATE_POOL = POOL_SIZE - 256  ; the rest of the global pool
#IF 'SYS':PRIVATE_POOL > 512 #THEN #SET 'SYS':PRIVATE_POOL = 512

; --- What the start mode asks for ---------------------------------------------------
#CASE START_MODE
   #WHEN "COLD" #DO #BLOCK
      ; a cold start loads every process database from its last backup
      #LOOP_WITH J = 1 .. APL_COUNT
         #SET 'APL':NAME = APL_NAMES(J)
         #EXEC 'APL':LOAD_DB
      #LOOP_END
      #SET 'SYS':RESTORE = 0
   #BLOCK_END
   #WHEN "WARM", "HOT" #DO #SET 'SYS':RESTORE = 1
   #OTHERWISE #BLOCK
      #PRINT "Unknown start mode """ + START_MODE + """, starting warm"
      #SET START_MODE = "WARM"
      #SET 'SYS':RESTORE = 1
   #BLOCK_END
#CASE_END

; --- Applications: create each one and bring it warm --------------------------------
#LOOP_WITH I = 1 .. APL_COUNT
   #SET 'APL':NAME = APL_NAMES(I)
   #CREATE 'APL':NAME
   #SET RETRIES = 0
   #LOOP RETRIES < MAX_RETRIES
      #ERROR CONTINUE
      #EXEC 'APL':START
      #IF 'APL':STATE == "WARM" OR 'APL':STATE == "HOT" #THEN #LOOP_EXIT
      #SET RETRIES = RETRIES + 1
      #PAUSE WAIT_S
   #LOOP_END
   #IF RETRIES >= MAX_RETRIES #THEN #BLOCK
      #PRINT "Application """ + APL_NAMES(I) + """ did not start after " + -
             MAX_RETRIES + " attempts"     ; the others still start
      #SET OK = 0
   #BLOCK_END
#LOOP_END

; --- Historian ------------------------------------------------------------------------
#PATH HIST_DB = "sys/active/hist/"
#REP_LIB "HISTORY"
#SET 'HIST':LOGGING_INTERVAL = 2.5           ; seconds
#SET 'HIST':RETENTION_DAYS = 365
#SET 'HIST':COMPRESSION = "DEADBAND"
#SET 'HIST':DEADBAND = 0.25                  ; {deg}C for the temperature tags
#INIT_QUERY 'HIST':TAGS = "SELECT NAME FROM TAGS WHERE LOGGED = 1"
#IF 'HIST':TAG_COUNT == 0 #THEN #PRINT "Historian: no tag is logged"

; --- Node table from the configuration file ------------------------------------------
#OPEN_FILE 1 = "sys/active/sys_/nodes.cfg"
#READ_KEYS 1
#LOOP_WITH J = 1 .. 16
   #READ_NEXT 1
   #IF %EOF #THEN #LOOP_EXIT
   #IF RECORD:NODE_NR == NODE_NR #THEN #SET NODE_NAME = RECORD:NAME
   #SET 'NET':NAME = RECORD:NAME
   #SET 'NET':ADDRESS = RECORD:ADDRESS
#LOOP_END
#CLOSE_FILE 1
#IF NODE_NAME == "" #THEN #BLOCK
   #PRINT "Node " + NODE_NR + " is not in nodes.cfg; using the computer name"
   #SET NODE_NAME = %COMPUTER
#BLOCK_END

; --- Printers --------------------------------------------------------------------------
#LOOP_WITH I = 1 .. 2
   #SEARCH 'PRN':NAME = PRINTERS(I)
   #IF %FOUND #THEN #BLOCK
      #MODIFY 'PRN':STATE = "ONLINE"
   #BLOCK_END
   #ELSE #BLOCK
      #CREATE 'PRN':NAME = PRINTERS(I)
      #SET 'PRN':QUEUE_LENGTH = 50
   #BLOCK_END
#LOOP_END

; --- Scheduler: periodic jobs ------------------------------------------------------------
#SET_TIME 'SCHED':DAILY_REPORT = "06:00:00"
#SET_TIME 'SCHED':HOURLY_CHECK = "00:00:00"
#SET 'SCHED':TICK_MS = 10
#EXEC_AFTER 60 'REPORT':CHECK
#EXEC_AFTER 300 'HIST':FLUSH

; --- Alarm list and start-up log ------------------------------------------------------------
#ON ERROR #BLOCK
   #PRINT "Start-up step failed: " + %ERROR_TEXT
   #SET OK = 0
#BLOCK_END
#DELETE_FILE "sys/active/log/startup.old"
#RENAME_FILE "sys/active/log/startup.log" = "sys/active/log/startup.old"
#CREATE_FILE 2 = "sys/active/log/startup.log"
#WRITE 2 = "Start-up of node " + NODE_NAME + " (" + START_MODE + ")"
#WRITE 2 = "Pool " + POOL_SIZE + " MB, " + APL_COUNT + " applications"
#CLOSE_FILE 2
#GET 'ALARM':COUNT
#IF 'ALARM':COUNT > 0 AND NOT @QUIET_START #THEN -
   #PRINT 'ALARM':COUNT + " alarms are pending since the last stop"

; --- Operator sessions: the workplaces listed in workplaces.cfg ------------------------------
#OPEN_FILE 4 = "sys/active/sys_/workplaces.cfg"
#READ_KEYS 4
#LOOP_WITH J = 1 .. 32
   #READ_NEXT 4
   #IF %EOF #THEN #LOOP_EXIT
   #CASE RECORD:KIND
      #WHEN "CONTROL_ROOM" #DO #SET 'WP':PRIORITY = 1
      #WHEN "ENGINEERING", "MAINTENANCE" #DO #SET 'WP':PRIORITY = 2
      #OTHERWISE #SET 'WP':PRIORITY = 3
   #CASE_END
   #CREATE 'WP':NAME = RECORD:NAME
   #SET 'WP':IDLE_LOGOUT_MIN = 30
#LOOP_END
#CLOSE_FILE 4

; --- Report library ------------------------------------------------------------------------
#REP_LIB "REPORTS"
#LOOP_WITH I = 1 .. 3
   #GET 'REPORT':TEMPLATE = "DAILY_" + I
   #IF %FOUND AND 'REPORT':ENABLED == 1 #THEN -
      #SET_TIME 'REPORT':NEXT_RUN = "06:" + (I - 1) + "5:00"
#LOOP_END

; --- Bring the applications hot ------------------------------------------------------------
#IF OK == 1 #THEN #BLOCK
   #LOOP_WITH I = 1 .. APL_COUNT
      #SET 'APL':NAME = APL_NAMES(I)
      #SET 'APL':STATE = "HOT"
   #LOOP_END
   #PRINT "Kernel start-up complete"
#BLOCK_END
#ELSE_IF 'SYS':RESTORE == 1 #THEN #PRINT "Kernel started warm; check the start-up log"
#ELSE #PRINT "Kernel started with errors; check the start-up log"
#RETURN OK
)lumo";

constexpr std::string_view StopSequence = R"lumo(
;==============================================================================
; stop_sequence.lum
; Shutdown program. The service runs it before it stops; REASON is "NORMAL",
; "FORCED" (the forced shutdown) or "SHADOW" (the partner takes over).
;==============================================================================

#ARGUMENT REASON = "NORMAL"
#LOCAL TIMEOUT = 20, STEP_S = 0.5, WAITED, I, -
       STOP_ORDER = LIST("REPORT", "SCHED", "HIST", "MAIN")
#LOCAL LEFT = 0    ; applications still running

#PRINT "Stop sequence, reason """ + REASON + """"
#SET 'SYS':STOP_TIME = %NOW

#CASE REASON
   #WHEN "FORCED" #DO #SET TIMEOUT = 5
   #WHEN "SHADOW" #DO #BLOCK
      ; the partner node takes over: hand the shadowing phase on first
      #SET 'SYS':SHADOW_PHASE = "HAND_OVER"
      #EXEC 'SHADOW':SWITCH
      #PAUSE 1.5
   #BLOCK_END
   #OTHERWISE #SET TIMEOUT = 20
#CASE_END

; --- Applications, in reverse order of their start -----------------------------
#LOOP_WITH I = 1 .. 4
   #SET 'APL':NAME = STOP_ORDER(I)
   #IF 'APL':STATE == "COLD" #THEN #LOOP_EXIT
   #SET 'APL':STATE = "WARM"
   #SET WAITED = 0
   #LOOP WAITED < TIMEOUT AND 'APL':STATE <> "WARM"
      #PAUSE STEP_S
      #SET WAITED = WAITED + STEP_S
   #LOOP_END
   #IF WAITED >= TIMEOUT #THEN #BLOCK
      #PRINT "Application """ + STOP_ORDER(I) + """ did not go warm in " + -
             TIMEOUT + " s; stopping it anyway"
      #SET LEFT = LEFT + 1
   #BLOCK_END
   #EXEC 'APL':STOP
#LOOP_END

; --- Historian: write what is buffered ---------------------------------------------
#EXEC 'HIST':FLUSH
#IF REASON <> "FORCED" #THEN #BLOCK
   #SET 'HIST':ARCHIVE = 1
   #EXEC 'HIST':ARCHIVE_DAY
#BLOCK_END

; --- Scheduler jobs that must not run while the system is down ----------------------
#REMOVE 'SCHED':DAILY_REPORT
#REMOVE 'SCHED':HOURLY_CHECK

; --- Printers and network ------------------------------------------------------------
#LOOP_WITH I = 1 .. 2
   #SEARCH 'PRN':NAME = "PRN" + I
   #IF %FOUND #THEN #MODIFY 'PRN':STATE = "OFFLINE"
#LOOP_END
#IF REASON == "SHADOW" #THEN #BLOCK
   ; the partner keeps the network; only this node's address is given up
   #SET 'NET':ADDRESS = ""
#BLOCK_END
#ELSE #BLOCK
   #DELETE 'NET':SESSIONS
   #SET 'NET':STATE = "DOWN"
#BLOCK_END

; --- Kernel processes: wait until the applications' processes have gone ----------------
#SET WAITED = 0
#LOOP WAITED < TIMEOUT
   #GET 'SYS':PROCESS_COUNT
   #IF 'SYS':PROCESS_COUNT == 0 #THEN #LOOP_EXIT
   #PAUSE STEP_S
   #SET WAITED = WAITED + STEP_S
#LOOP_END
#IF 'SYS':PROCESS_COUNT > 0 #THEN #BLOCK
   ; what is still running is ended by the service after this program
   #PRINT 'SYS':PROCESS_COUNT + " kernel processes still running after " + TIMEOUT + " s"
   #SET LEFT = LEFT + 'SYS':PROCESS_COUNT
#BLOCK_END

; --- Stop record ---------------------------------------------------------------------
#OPEN_FILE 3 = "sys/active/log/stop.log"
#READ_PREV 3
#WRITE 3 = "Stopped at " + %NOW + ", reason " + REASON + ", " + LEFT + -
           " applications stopped by force"
#CLOSE_FILE 3
#LIST 'ALARM':PENDING
#IF 'ALARM':COUNT > 0 #THEN #PRINT 'ALARM':COUNT + " alarms pending at the stop"

#IF LEFT == 0 #THEN #PRINT "Stop sequence complete"
#ELSE #PRINT "Stop sequence complete, " + LEFT + " applications stopped by force"
#RETURN LEFT
)lumo";

} // namespace

std::string KernelSetupScript() {
    return Ansi(KernelSetup);
}

std::string StopSequenceScript() {
    return Ansi(StopSequence);
}
