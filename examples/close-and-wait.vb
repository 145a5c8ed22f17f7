' Closes an application with Halvik and logs its outcome: a VB.NET script for HomeSeer 3 and 4.
' (The same script as close-and-wait.cs, line for line; only the C# one is compiled in our tests.)
'
' Put it in HomeSeer's scripts folder and run it from an event with the parameter
'   <target>|<variable>
' the text Halvik itself takes: a piece of the window title or a process ID, then the host
' variable that receives the outcome (HalvikOutcome when none is given). Set HalvikPath below to
' where halvik.exe is. The script waits for Halvik, reads the variable and writes the outcome and
' its meaning to HomeSeer's log, under the type "Halvik".
'
' It uses only the members of the host's object "hs" that HomeSeer documents: WriteLog, with a
' log type and a message, as in its scripting reference
' (https://docs.homeseer.com/products/writelogdetail), and GetVar, SaveVar and CreateVar, as in its
' plug-in SDK (https://github.com/HomeSeer/Plugin-SDK/issues/142). Besides them, only the plain
' .NET Framework, in VB 9, which the host's older script compiler accepts.

Const HalvikPath As String = "C:\Tools\halvik.exe"
Const TimeLimitSeconds As Integer = 200  ' the longest run, with a host that hangs, is about 160 s
Const LogType As String = "Halvik"

Public Sub Main(ByVal parm As Object)
  Dim fields As String() = System.Convert.ToString(parm).Split("|"c)
  Dim target As String = fields(0).Trim(" "c)
  Dim variable As String = If(fields.Length > 1, fields(1).Trim(" "c), "")
  If variable = "" Then variable = "HalvikOutcome"

  ' An earlier run's outcome must not be read as this run's: the variable starts at 0, the value
  ' that means "still running".
  If TryCast(hs.GetVar(variable), String) = "Name not found" Then hs.CreateVar(variable)
  hs.SaveVar(variable, 0)

  ' Started directly, not through the shell: no console, and no security prompt for a
  ' downloaded file. Halvik takes the text after its path exactly as it stands.
  Dim start As New System.Diagnostics.ProcessStartInfo(HalvikPath)
  start.Arguments = target & "|" & variable
  start.UseShellExecute = False
  Dim ended As Boolean
  Try
    Using halvik As System.Diagnostics.Process = System.Diagnostics.Process.Start(start)
      ended = halvik.WaitForExit(TimeLimitSeconds * 1000)
    End Using
  Catch failure As System.ComponentModel.Win32Exception
    hs.WriteLog(LogType, "could not start " & HalvikPath & ": " & failure.Message)
    Return
  End Try

  Dim outcome As String = System.Convert.ToString(hs.GetVar(variable))
  If outcome <> "0" Then
    hs.WriteLog(LogType, variable & " = " & outcome & ": " & Meaning(outcome))
  ElseIf ended Then
    hs.WriteLog(LogType, variable & " is still 0 after Halvik ended: no report reached the host")
  Else
    hs.WriteLog(LogType, variable & " is still 0: Halvik runs on after " & TimeLimitSeconds & " s")
  End If
End Sub

Function Meaning(ByVal outcome As String) As String
  Select Case outcome
    Case "-3": Return "no target was given"
    Case "-2": Return "the process was told to end, yet it still has the window"
    Case "-1": Return "no window was found for the target"
    Case "1": Return "the application closed on request"
    Case "2": Return "the application hung on and was ended by force"
    Case "3": Return "the title remains, but in another process's window; nothing was ended"
    Case "4": Return "the application was ended by force; its title remains in another window"
    Case Else: Return "not an outcome of Halvik"
  End Select
End Function
