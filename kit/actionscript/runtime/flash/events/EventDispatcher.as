package flash.events
{
    /**
     * The runtime's EventDispatcher, declared for compiling against: the
     * runtime has its own, so no SWF defines this one (it is linked as an
     * extern). Only the members that the kit and the sample application use.
     */
    public class EventDispatcher
    {
        public function addEventListener(type:String, listener:Function, useCapture:Boolean = false,
                                         priority:int = 0, useWeakReference:Boolean = false):void {}

        public function removeEventListener(type:String, listener:Function, useCapture:Boolean = false):void {}

        public function dispatchEvent(event:Event):Boolean { return false; }
    }
}
