package flash.display
{
    import flash.events.EventDispatcher;

    /**
     * The runtime's display classes, declared for compiling the sample
     * application against: only the members it uses, each where the runtime
     * has it or on a class the runtime's inherits from. Linked as externs.
     */
    public class DisplayObject extends EventDispatcher
    {
        public var x:Number;
        public var y:Number;
        public var width:Number;
        public var height:Number;
    }
}
