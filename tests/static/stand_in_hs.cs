// A stand-in for the object HomeSeer hands its scripts as "hs": just the members the host
// documents, with their documented signatures, so that a script using anything else, or using
// these otherwise, does not compile.
public class StandInHs {
  public object GetVar(string Name) { return null; }
  public string SaveVar(string Name, object obj) { return ""; }
  public string CreateVar(string Name) { return ""; }
  public void WriteLog(string mType, string Message) {}
}
