' Closes an application with Halvik and waits for the outcome, as a home-automation script would.
'
'   cscript //nologo close-and-wait.vbs <path of halvik.exe> <target> [<variable>]
'
' <target> is a piece of the window title or a process ID; <variable> is the host variable that
' receives the outcome (HalvikOutcome when not given). Prints the outcome and what it means, and
' ends with exit code 0 once there is one, 1 when there is none within 200 seconds, 2 on wrong
' use. Inside HomeSeer, which runs C# and VB.NET scripts, use close-and-wait.cs or .vb instead.
Option Explicit

Const TimeLimitSeconds = 200  ' the longest run, with a host that hangs, is about 160 s

If WScript.Arguments.Count < 2 Then
  WScript.Echo "usage: cscript //nologo close-and-wait.vbs <path of halvik.exe> <target> [<variable>]"
  WScript.Quit 2
End If

Dim halvik, target, variable
halvik = WScript.Arguments(0)
target = WScript.Arguments(1)
variable = "HalvikOutcome"
If WScript.Arguments.Count > 2 Then variable = WScript.Arguments(2)

Dim hs
Set hs = CreateObject("homeseer.application")

' An earlier run's outcome must not be read as this run's: the variable starts at 0, the value
' that means "still running".
Dim current
current = hs.GetVar(variable)
If VarType(current) = vbString Then
  If current = "Name not found" Then hs.CreateVar variable
End If
hs.SaveVar variable, 0

Dim shell
Set shell = CreateObject("WScript.Shell")
' Hidden (window style 0), and without waiting for it: the variable tells when it is done.
shell.Run """" & halvik & """ " & target & "|" & variable, 0, False

Dim started
started = Timer
Do
  PauseOneSecond
  current = hs.GetVar(variable)
  If Not IsEmpty(current) Then
    If CStr(current) <> "0" Then Exit Do
  End If
Loop While SecondsSince(started) < TimeLimitSeconds

If CStr(current) = "0" Or IsEmpty(current) Then
  WScript.Echo variable & " is still 0 after " & TimeLimitSeconds & " seconds: Halvik gave no outcome"
  WScript.Quit 1
End If

WScript.Echo variable & " = " & current & ": " & Meaning(CInt(current))
WScript.Quit 0

' Some script hosts lack WScript.Sleep (Wine's did before version 9); there, a hidden ping waits
' instead: it sends its second echo request a second after the first.
Sub PauseOneSecond()
  On Error Resume Next
  WScript.Sleep 1000
  If Err.Number <> 0 Then shell.Run "ping -n 2 127.0.0.1", 0, True
  On Error GoTo 0
End Sub

' Timer counts the seconds since midnight.
Function SecondsSince(start)
  SecondsSince = Timer - start
  If SecondsSince < 0 Then SecondsSince = SecondsSince + 86400
End Function

Function Meaning(code)
  Select Case code
    Case -3: Meaning = "no target was given"
    Case -2: Meaning = "the process was told to end, yet it still has the window"
    Case -1: Meaning = "no window was found for the target"
    Case 1: Meaning = "the application closed on request"
    Case 2: Meaning = "the application hung on and was ended by force"
    Case 3: Meaning = "the title remains, but in another process's window; nothing was ended"
    Case 4: Meaning = "the application was ended by force; its title remains in another window"
    Case Else: Meaning = "not an outcome of Halvik"
  End Select
End Function
