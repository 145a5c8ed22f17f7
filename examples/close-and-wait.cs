// Closes an application with Halvik and logs its outcome: a C# script for HomeSeer 3 and 4.
// (close-and-wait.vb is the same script in VB.NET, line for line.)
//
// Put it in HomeSeer's scripts folder and run it from an event with the parameter
//   <target>|<variable>
// the text Halvik itself takes: a piece of the window title or a process ID, then the host
// variable that receives the outcome (HalvikOutcome when none is given). Set HalvikPath below to
// where halvik.exe is. The script waits for Halvik, reads the variable and writes the outcome and
// its meaning to HomeSeer's log, under the type "Halvik".
//
// It uses only the members of the host's object "hs" that HomeSeer documents: WriteLog, with a
// log type and a message, as in its scripting reference
// (https://docs.homeseer.com/products/writelogdetail), and GetVar, SaveVar and CreateVar, as in its
// plug-in SDK (https://github.com/HomeSeer/Plugin-SDK/issues/142). Besides them, only the plain
// .NET Framework, in C# 5, which the host's older script compiler accepts.

const string HalvikPath = @"C:\Tools\halvik.exe";
const int TimeLimitSeconds = 200;  // the longest run, with a host that hangs, is about 160 s
const string LogType = "Halvik";

public void Main(object parm) {
  string[] fields = System.Convert.ToString(parm).Split('|');
  string target = fields[0].Trim(' ');
  string variable = fields.Length > 1 ? fields[1].Trim(' ') : "";
  if (variable == "") variable = "HalvikOutcome";

  // An earlier run's outcome must not be read as this run's: the variable starts at 0, the value
  // that means "still running".
  if ((hs.GetVar(variable) as string) == "Name not found") hs.CreateVar(variable);
  hs.SaveVar(variable, 0);

  // Started directly, not through the shell: no console, and no security prompt for a
  // downloaded file. Halvik takes the text after its path exactly as it stands.
  System.Diagnostics.ProcessStartInfo start = new System.Diagnostics.ProcessStartInfo(HalvikPath);
  start.Arguments = target + "|" + variable;
  start.UseShellExecute = false;
  bool ended;
  try {
    using (System.Diagnostics.Process halvik = System.Diagnostics.Process.Start(start)) {
      ended = halvik.WaitForExit(TimeLimitSeconds * 1000);
    }
  } catch (System.ComponentModel.Win32Exception failure) {
    hs.WriteLog(LogType, "could not start " + HalvikPath + ": " + failure.Message);
    return;
  }

  string outcome = System.Convert.ToString(hs.GetVar(variable));
  if (outcome != "0") {
    hs.WriteLog(LogType, variable + " = " + outcome + ": " + Meaning(outcome));
  } else if (ended) {
    hs.WriteLog(LogType, variable + " is still 0 after Halvik ended: no report reached the host");
  } else {
    hs.WriteLog(LogType, variable + " is still 0: Halvik runs on after " + TimeLimitSeconds + " s");
  }
}

string Meaning(string outcome) {
  switch (outcome) {
    case "-3": return "no target was given";
    case "-2": return "the process was told to end, yet it still has the window";
    case "-1": return "no window was found for the target";
    case "1": return "the application closed on request";
    case "2": return "the application hung on and was ended by force";
    case "3": return "the title remains, but in another process's window; nothing was ended";
    case "4": return "the application was ended by force; its title remains in another window";
    default: return "not an outcome of Halvik";
  }
}
